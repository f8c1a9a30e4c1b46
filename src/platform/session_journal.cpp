#include "platform/session_journal.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/date_text.h"
#include "platform/waiting.h"

#if defined(_WIN32)
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace designopt {

const char* const kJournalFileName = "designopt.journal";

namespace {

constexpr const char* kFormatLine = "designopt journal 1";
constexpr const char* kFormatPrefix = "designopt journal ";
constexpr const char* kEndOfInput = "end-of-input";

// ---------------------------------------------------------------------------------
// The journal file: a descriptor that the run holds locked, written a whole record at
// a time, so that every record is on disk before the run waits again.

#if defined(_WIN32)
int openJournalDescriptor(bool create) {
  int flags = _O_RDWR | _O_APPEND | _O_BINARY | _O_NOINHERIT;
  if (create) flags |= _O_CREAT;
  return _sopen(kJournalFileName, flags, _SH_DENYNO, _S_IREAD | _S_IWRITE);
}

// An exclusive lock on one byte far beyond the journal's end, so that the lock never
// stands in the way of reading or writing the journal itself.
bool lockJournal(int fd) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  OVERLAPPED where{};
  where.Offset = 0;
  where.OffsetHigh = 0x7fffffff;
  return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &where) != 0;
}

long writeSome(int fd, const char* data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(size));
}
long readSome(int fd, char* data, std::size_t size) {
  return _read(fd, data, static_cast<unsigned>(size));
}
bool rewindJournal(int fd) { return _lseek(fd, 0, SEEK_SET) == 0; }
bool truncateJournal(int fd, long size) { return _chsize(fd, size) == 0; }
void closeJournalDescriptor(int fd) { _close(fd); }

std::string currentFolder() {
  char buffer[4096];
  return _getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}
#else
int openJournalDescriptor(bool create) {
  // Not inherited by the launchers: a launcher that outlives designopt must not keep
  // the folder locked.
  int flags = O_RDWR | O_APPEND | O_CLOEXEC;
  if (create) flags |= O_CREAT;
  return open(kJournalFileName, flags, 0644);
}

bool lockJournal(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

long writeSome(int fd, const char* data, std::size_t size) { return write(fd, data, size); }
long readSome(int fd, char* data, std::size_t size) { return read(fd, data, size); }
bool rewindJournal(int fd) { return lseek(fd, 0, SEEK_SET) == 0; }
bool truncateJournal(int fd, long size) { return ftruncate(fd, size) == 0; }
void closeJournalDescriptor(int fd) { close(fd); }

std::string currentFolder() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}
#endif

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long written = writeSome(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) {
      if (written < 0 && errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

bool readAll(int fd, std::string& bytes) {
  bytes.clear();
  if (!rewindJournal(fd)) return false;
  char buffer[8192];
  for (;;) {
    const long got = readSome(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

// ---------------------------------------------------------------------------------
// Checksums and the bytes of an appended file as they stand on disk.

constexpr std::uint64_t kChecksumStart = 14695981039346656037ull;  // FNV-1a, 64 bits

std::uint64_t checksum(std::uint64_t hash, const std::string& bytes) {
  for (const unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string checksumText(std::uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, hash);
  return text;
}

// The run log is a text file: on Windows each line end is CR LF on disk, as the
// C library's text mode writes it.
std::string diskBytes(const std::string& written) {
#if defined(_WIN32)
  std::string bytes;
  bytes.reserve(written.size() + written.size() / 16);
  for (const char c : written) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
#else
  return written;
#endif
}

long fileSize(const std::string& name) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return -1;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  return size;
}

// The checksum of `length` bytes of a file from `start`; false when it is shorter.
bool fileChecksum(const std::string& name, long start, long length, std::uint64_t& hash) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  hash = kChecksumStart;
  bool complete = std::fseek(file, start, SEEK_SET) == 0;
  std::string chunk(8192, '\0');
  while (complete && length > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<long>(length, 8192));
    const std::size_t got = std::fread(chunk.data(), 1, want, file);
    if (got != want) complete = false;
    hash = checksum(hash, chunk.substr(0, got));
    length -= static_cast<long>(got);
  }
  std::fclose(file);
  return complete;
}

bool truncateFile(const std::string& name, long size) {
#if defined(_WIN32)
  const int fd = _sopen(name.c_str(), _O_RDWR | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  const bool done = _chsize(fd, size) == 0;
  _close(fd);
  return done;
#else
  return truncate(name.c_str(), size) == 0;
#endif
}

std::FILE* openScratch() {
#if defined(_WIN32)
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0) return nullptr;
  if (GetTempFileNameW(folder, L"dso", 0, path) == 0) return nullptr;
  return _wfopen(path, L"w+bD");  // removed when closed
#else
  return std::tmpfile();
#endif
}

// ---------------------------------------------------------------------------------
// The run's journal state.

enum class Mode {
  Off,        // no journal: unit tests, or a run before it started one
  Recording,  // every seam records what it takes
  Replaying,  // every seam takes the journal's next record
  Stopped,    // the replay left the journal's path: nothing more is written
};

// What a resumed run knows of one opening of an appended file from the journal.
struct JournaledOpening {
  std::string name;
  long startSize = 0;      // the file's size when the first run opened it
  long onDisk = 0;         // bytes of this opening that the file holds now
};

// One file designopt appends to, written through a scratch copy.
struct AppendedFile {
  std::string name;
  std::FILE* scratch = nullptr;  // what the run writes
  std::FILE* target = nullptr;   // the file itself, appended to in binary
  long startSize = 0;            // its size when the (first) run opened it
  long scratchRead = 0;          // bytes taken from the scratch so far
  long produced = 0;             // those bytes as on disk
  long onDisk = 0;               // bytes of this opening the file already holds
  std::uint64_t hash = kChecksumStart;
};

struct JournalState {
  Mode mode = Mode::Off;
  int fd = -1;
  bool writeFailed = false;
  // Replay.
  std::vector<JournalRecord> records;  // the records to replay
  std::size_t next = 0;
  long liveFrom = 0;                    // the journal's size once the replay is over
  std::vector<JournaledOpening> openings;  // the replay's appended-file openings, in order
  std::size_t nextOpening = 0;
  std::map<std::string, long> cutBack;  // appended files cut back when the replay is over
  bool pendingCostSet = false;          // the cost of the pricing under way when the
  JournalRecord pendingCost;            // first run's input ended
  // End of input seen while recording: whether the last answer was one.
  int endOfInputAnswers = 0;
  bool lastAnswerEndedInput = false;
  std::vector<std::unique_ptr<AppendedFile>> files;
};

JournalState& journal() {
  static JournalState state;
  return state;
}

// The journal could not be written: the run goes on, and says once that a resume would
// stop here.
void journalWriteFailed() {
  JournalState& s = journal();
  if (s.writeFailed) return;
  s.writeFailed = true;
  std::fprintf(stderr,
               "Warning: %s can no longer be written (%s); a resume of this run would stop "
               "here.\n",
               kJournalFileName, std::strerror(errno));
}

void writeRecordLine(const std::string& line) {
  JournalState& s = journal();
  if (s.fd < 0 || s.writeFailed) return;
  if (!writeAll(s.fd, line)) journalWriteFailed();
}

// The replay is over: the journal loses what was not replayed (a torn last record,
// what followed the first run's end of input), the files the first run wrote after
// that point are cut back to where the replay left them, and the run records again.
void goLive() {
  JournalState& s = journal();
  s.mode = Mode::Recording;
  if (!truncateJournal(s.fd, s.liveFrom)) journalWriteFailed();
  for (const auto& [name, size] : s.cutBack) {
    const long now = fileSize(name);
    if (now > size) truncateFile(name, size);
  }
  for (const auto& file : s.files) {
    const auto cut = s.cutBack.find(file->name);
    if (cut == s.cutBack.end()) continue;
    // What was cut off is written again, from this run's own bytes.
    file->onDisk = std::min(file->onDisk, std::max(0L, cut->second - file->startSize));
  }
}

// ---------------------------------------------------------------------------------
// Reading a journal for a resume.

struct ParsedJournal {
  std::vector<JournalRecord> records;  // complete records, in order
  std::vector<long> offsets;           // byte offset of each record's line
  long completeSize = 0;               // size up to the last complete record
  std::string began;
  bool finished = false;
};

bool knownKind(const std::string& kind) {
  static const char* const kinds[] = {"answer",  "key",      "date",      "launcher",
                                      "cost",    "log-open", "log-flush", "finished"};
  return std::any_of(std::begin(kinds), std::end(kinds),
                     [&](const char* k) { return kind == k; });
}

// An answer or key record whose outcome (its last field) is the end of input. A typed
// word is one field with no blank, so it can only be that outcome when it is spelt so,
// and the console layer escapes it then.
bool endsWithEndOfInput(const JournalRecord& r) {
  if (r.kind != "answer" && r.kind != "key") return false;
  const std::size_t blank = r.text.rfind(' ');
  return r.text.compare(blank == std::string::npos ? 0 : blank + 1, std::string::npos,
                        kEndOfInput) == 0;
}

// Splits the journal into lines. Returns false, having said why, for a journal that
// cannot be resumed.
bool parseJournal(const std::string& bytes, const std::string& version, ParsedJournal& parsed) {
  std::vector<std::pair<long, std::string>> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) break;  // a torn last record: dropped
    lines.emplace_back(static_cast<long>(at), bytes.substr(at, end - at));
    at = end + 1;
  }
  parsed.completeSize = static_cast<long>(at);

  if (lines.empty() || lines[0].second.rfind(kFormatPrefix, 0) != 0) {
    std::fprintf(stderr, "Cannot resume: %s is not a designopt journal.\n", kJournalFileName);
    return false;
  }
  if (lines[0].second != kFormatLine) {
    std::fprintf(stderr,
                 "Cannot resume: %s is of journal format %s; this designopt reads format 1.\n",
                 kJournalFileName, lines[0].second.c_str() + std::strlen(kFormatPrefix));
    return false;
  }
  const std::string expected = "designopt " + version;
  if (lines.size() < 2 || lines[1].second != expected) {
    std::fprintf(stderr, "Cannot resume: %s was written by %s; this is %s.\n",
                 kJournalFileName, lines.size() < 2 ? "an unknown designopt" : lines[1].second.c_str(),
                 expected.c_str());
    return false;
  }
  std::size_t first = 2;
  if (lines.size() > 2 && lines[2].second.rfind("began ", 0) == 0) {
    parsed.began = lines[2].second.substr(6);
    first = 3;
  }
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::string& text = lines[i].second;
    const std::size_t blank = text.find(' ');
    JournalRecord r;
    r.kind = text.substr(0, blank);
    r.text = blank == std::string::npos ? "" : text.substr(blank + 1);
    r.line = static_cast<int>(i) + 1;
    if (!knownKind(r.kind)) {
      if (i + 1 == lines.size()) {  // a last record written only in part
        parsed.completeSize = lines[i].first;
        break;
      }
      std::fprintf(stderr, "Cannot resume: %s is damaged at line %d.\n", kJournalFileName,
                   r.line);
      return false;
    }
    if (r.kind == "finished") {
      parsed.finished = true;
      continue;
    }
    parsed.records.push_back(r);
    parsed.offsets.push_back(lines[i].first);
  }
  return true;
}

// The run logs that the journal's run wrote: every byte it recorded must be in them as
// it was, and nothing else after it. Sets up the openings the replay takes and the
// cut-back of what followed the replay's end. Returns false, having said why, when a
// file holds what the journal's run did not write.
bool checkAppendedFiles(const ParsedJournal& parsed, std::size_t cut, JournalState& s) {
  struct Opening {
    std::string name;
    long startSize = 0;
    std::vector<std::pair<long, std::string>> flushes;  // produced size, checksum
    bool beforeCut = false;
    long keptAtCut = 0;  // produced size at the replay's end
  };
  std::vector<Opening> openings;
  for (std::size_t i = 0; i < parsed.records.size(); ++i) {
    const JournalRecord& r = parsed.records[i];
    if (r.kind == "log-open") {
      Opening o;
      char* end = nullptr;
      o.startSize = std::strtol(r.text.c_str(), &end, 10);
      if (end == r.text.c_str() || *end != ' ') {
        std::fprintf(stderr, "Cannot resume: %s is damaged at line %d.\n", kJournalFileName,
                     r.line);
        return false;
      }
      o.name = unescapeWord(end + 1);
      o.beforeCut = i < cut;
      openings.push_back(o);
    } else if (r.kind == "log-flush" && !openings.empty()) {
      char hash[64] = "";
      long produced = 0;
      if (std::sscanf(r.text.c_str(), "%ld %63s", &produced, hash) != 2) {
        std::fprintf(stderr, "Cannot resume: %s is damaged at line %d.\n", kJournalFileName,
                     r.line);
        return false;
      }
      openings.back().flushes.emplace_back(produced, hash);
      if (i < cut) openings.back().keptAtCut = produced;
    }
  }

  // The last opening of each file decides how long the file must be.
  std::map<std::string, std::size_t> lastOpening;
  for (std::size_t k = 0; k < openings.size(); ++k) lastOpening[openings[k].name] = k;

  for (std::size_t k = 0; k < openings.size(); ++k) {
    const Opening& o = openings[k];
    const long size = fileSize(o.name);
    const bool last = lastOpening[o.name] == k;
    long produced = o.flushes.empty() ? 0 : o.flushes.back().first;
    std::string hash = o.flushes.empty() ? checksumText(kChecksumStart) : o.flushes.back().second;
    if (last && size >= 0 && size != o.startSize + produced) {
      // A run stopped between recording a flush and writing it leaves the file one
      // flush short.
      const long before = o.flushes.size() < 2 ? 0 : o.flushes[o.flushes.size() - 2].first;
      if (size == o.startSize + before) {
        produced = before;
        hash = o.flushes.size() < 2 ? checksumText(kChecksumStart)
                                    : o.flushes[o.flushes.size() - 2].second;
      } else if (size > o.startSize + produced) {
        std::fprintf(stderr,
                     "Cannot resume: the run log %s holds %ld bytes that the run in %s did "
                     "not write; it is left as it is.\n",
                     o.name.c_str(), size - (o.startSize + produced), kJournalFileName);
        return false;
      }
    }
    std::uint64_t actual = 0;
    if (size < 0 || !fileChecksum(o.name, o.startSize, produced, actual) ||
        checksumText(actual) != hash) {
      std::fprintf(stderr,
                   "Cannot resume: the run log %s is not as the run in %s left it; it is "
                   "left as it is.\n",
                   o.name.c_str(), kJournalFileName);
      return false;
    }
    if (o.beforeCut) {
      s.openings.push_back({o.name, o.startSize, produced});
      // What the first run wrote after the replay's end is cut back when the run goes
      // live, so that the log holds what this run writes there instead.
      s.cutBack[o.name] = o.startSize + o.keptAtCut;
    } else if (s.cutBack.count(o.name) == 0) {
      s.cutBack[o.name] = o.startSize;
    }
  }
  // Only files that really hold more than the replay leaves need cutting back.
  for (auto it = s.cutBack.begin(); it != s.cutBack.end();) {
    if (fileSize(it->first) <= it->second) {
      it = s.cutBack.erase(it);
    } else {
      ++it;
    }
  }
  return true;
}

bool journalInUse() {
  const Mode mode = journal().mode;
  return mode == Mode::Recording || mode == Mode::Replaying;
}

void flushAtExit() { flushAppendedOutputs(); }

void registerExitFlush() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::atexit(flushAtExit);
}

bool startNewRun(const std::string& version) {
  JournalState& s = journal();
  errno = 0;
  const int fd = openJournalDescriptor(true);
  if (fd < 0) {
    std::fprintf(stderr, "designopt cannot write in the folder %s: %s\n",
                 currentFolder().c_str(), std::strerror(errno));
    return false;
  }
  if (!lockJournal(fd)) {
    std::fprintf(stderr, "Another designopt is working in this folder.\n");
    closeJournalDescriptor(fd);
    return false;
  }
  std::string old;
  if (!readAll(fd, old)) old.clear();
  // An unfinished run's journal holds at least one record after its three header lines.
  int lines = 0;
  for (const char c : old) lines += c == '\n';
  // The last line is the record "finished" itself, not a word that ends so.
  const bool finished = old.size() >= 10 && old.compare(old.size() - 10, 10, "\nfinished\n") == 0;
  if (lines > 3 && !finished) {
    std::string aside;
    for (int n = 1;; ++n) {
      aside = std::string(kJournalFileName) + "." + std::to_string(n);
      if (fileSize(aside) < 0) break;
    }
    std::FILE* copy = std::fopen(aside.c_str(), "wb");
    const bool kept = copy != nullptr && std::fwrite(old.data(), 1, old.size(), copy) == old.size();
    if (copy != nullptr && std::fclose(copy) != 0) copy = nullptr;
    if (!kept || copy == nullptr) {
      std::fprintf(stderr, "designopt cannot keep the unfinished run's %s as %s: %s\n",
                   kJournalFileName, aside.c_str(), std::strerror(errno));
      closeJournalDescriptor(fd);
      return false;
    }
    std::fprintf(stderr, "%s held an unfinished run: kept as %s.\n", kJournalFileName,
                 aside.c_str());
  }
  if (!truncateJournal(fd, 0)) {
    std::fprintf(stderr, "designopt cannot write in the folder %s: %s\n",
                 currentFolder().c_str(), std::strerror(errno));
    closeJournalDescriptor(fd);
    return false;
  }
  s.fd = fd;
  s.mode = Mode::Recording;
  writeRecordLine(std::string(kFormatLine) + "\n" + "designopt " + version + "\n" + "began " +
                  clockDateText() + "\n");
  registerExitFlush();
  return true;
}

bool startResume(const std::string& version) {
  JournalState& s = journal();
  errno = 0;
  const int fd = openJournalDescriptor(false);
  if (fd < 0) {
    if (errno == ENOENT) {
      std::fprintf(stderr, "Nothing to resume: there is no %s in this folder.\n",
                   kJournalFileName);
    } else {
      std::fprintf(stderr, "Cannot resume: %s cannot be opened: %s\n", kJournalFileName,
                   std::strerror(errno));
    }
    return false;
  }
  if (!lockJournal(fd)) {
    std::fprintf(stderr, "Another designopt is working in this folder.\n");
    closeJournalDescriptor(fd);
    return false;
  }
  std::string bytes;
  ParsedJournal parsed;
  if (!readAll(fd, bytes)) {
    std::fprintf(stderr, "Cannot resume: %s cannot be read: %s\n", kJournalFileName,
                 std::strerror(errno));
    closeJournalDescriptor(fd);
    return false;
  }
  if (!parseJournal(bytes, version, parsed)) {
    closeJournalDescriptor(fd);
    return false;
  }
  if (parsed.finished) {
    std::fprintf(stderr, "Nothing to resume: the last run in this folder ended normally.\n");
    closeJournalDescriptor(fd);
    return false;
  }

  // The replay ends at the first end of input: the first run lost its console there.
  std::size_t cut = 0;
  while (cut < parsed.records.size() && !endsWithEndOfInput(parsed.records[cut])) ++cut;
  if (!checkAppendedFiles(parsed, cut, s)) {
    s.openings.clear();
    s.cutBack.clear();
    closeJournalDescriptor(fd);
    return false;
  }
  s.liveFrom = cut < parsed.records.size() ? parsed.offsets[cut] : parsed.completeSize;
  // When the input ended at a pricing's confirmation, the first run read that
  // pricing's cost next; later pricings have replaced "ProIn.dat" since, so that cost
  // is taken from the journal.
  for (std::size_t i = cut; i < parsed.records.size(); ++i) {
    const JournalRecord& r = parsed.records[i];
    if (r.kind == "launcher") break;
    if (r.kind == "cost") {
      s.pendingCostSet = true;
      s.pendingCost = r;
      break;
    }
  }
  parsed.records.resize(cut);

  int answers = 0;
  int pricings = 0;
  std::string date = parsed.began;
  bool dated = false;
  for (const JournalRecord& r : parsed.records) {
    if (r.kind == "answer" || r.kind == "key") ++answers;
    if (r.kind == "cost" && r.text != "not-found" && r.text != "no-cost") ++pricings;
    if (r.kind == "date" && !dated) {
      date = r.text;
      dated = true;
    }
  }
  s.records = std::move(parsed.records);
  s.next = 0;
  s.fd = fd;
  s.mode = Mode::Replaying;
  registerExitFlush();
  std::fprintf(stderr, "Resumed the run of %s: %d answers and %d pricings taken from %s.\n",
               date.c_str(), answers, pricings, kJournalFileName);
  return true;
}

// Writes out what the run has written into an appended file since the last wait.
void flushAppended(AppendedFile& file) {
  JournalState& s = journal();
  if (s.mode == Mode::Stopped) return;
  std::fflush(file.scratch);
  std::fseek(file.scratch, file.scratchRead, SEEK_SET);
  std::string written;
  char buffer[8192];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.scratch)) > 0;) {
    written.append(buffer, got);
  }
  std::fseek(file.scratch, 0, SEEK_END);
  if (written.empty()) return;
  file.scratchRead += static_cast<long>(written.size());
  const std::string bytes = diskBytes(written);
  const long before = file.produced;
  file.produced += static_cast<long>(bytes.size());
  file.hash = checksum(file.hash, bytes);

  // The journal learns of the bytes before the file gets them: a run stopped in
  // between leaves a file one flush short, which a resume writes again.
  const std::string record = std::to_string(file.produced) + " " + checksumText(file.hash);
  if (const JournalRecord* r = replayNext("log-flush")) {
    if (r->text != record) replayDiverged(*r, "log-flush " + record);
  } else {
    recordEntry("log-flush", record);
  }

  // Only the bytes the file does not already hold.
  const long from = std::max(file.onDisk, before) - before;
  if (from < static_cast<long>(bytes.size())) {
    std::fwrite(bytes.data() + from, 1, bytes.size() - static_cast<std::size_t>(from),
                file.target);
    std::fflush(file.target);
  }
  file.onDisk = std::max(file.onDisk, file.produced);
}

}  // namespace

bool startSessionJournal(JournalStart how, const std::string& version) {
  return how == JournalStart::NewRun ? startNewRun(version) : startResume(version);
}

void finishSessionJournal() {
  JournalState& s = journal();
  if (s.mode != Mode::Recording) return;
  flushAppendedOutputs();
  if (s.endOfInputAnswers == 0 || (s.endOfInputAnswers == 1 && s.lastAnswerEndedInput)) {
    writeRecordLine("finished\n");
  }
  closeJournalDescriptor(s.fd);
  s.fd = -1;
  s.mode = Mode::Off;
}


const JournalRecord* replayNext(const char* kind) {
  JournalState& s = journal();
  if (s.mode == Mode::Recording && s.pendingCostSet) {
    // The pricing under way when the first run's input ended.
    if (std::strcmp(kind, "launcher") == 0) s.pendingCostSet = false;
    if (std::strcmp(kind, "cost") == 0) {
      s.pendingCostSet = false;
      return &s.pendingCost;
    }
  }
  if (s.mode != Mode::Replaying) return nullptr;
  if (s.next >= s.records.size()) {
    goLive();
    return replayNext(kind);
  }
  const JournalRecord& r = s.records[s.next];
  if (r.kind != kind) replayDiverged(r, std::string("a ") + kind + " record");
  ++s.next;
  return &r;
}

void recordEntry(const char* kind, const std::string& text) {
  JournalState& s = journal();
  if (s.mode != Mode::Recording) return;
  if (std::strcmp(kind, "answer") == 0 || std::strcmp(kind, "key") == 0) {
    JournalRecord r{kind, text, 0};
    s.lastAnswerEndedInput = endsWithEndOfInput(r);
    if (s.lastAnswerEndedInput) ++s.endOfInputAnswers;
  }
  writeRecordLine(std::string(kind) + " " + text + "\n");
}

void replayDiverged(const JournalRecord& record, const std::string& asked) {
  JournalState& s = journal();
  s.mode = Mode::Stopped;
  std::fflush(stdout);
  std::fprintf(stderr,
               "\nCannot resume: the run took another path than %s: at its line %d the "
               "journal holds \"%s %s\" where the run asked for %s. The journal is kept as "
               "it was.\n",
               kJournalFileName, record.line, record.kind.c_str(), record.text.c_str(),
               asked.c_str());
  std::exit(1);
}

std::FILE* openAppendedOutput(const std::string& name) {
  JournalState& s = journal();
  if (!journalInUse()) {
    std::FILE* file = std::fopen(name.c_str(), "a");
    if (file != nullptr) keepOutputFlushedBeforeWaits(file);
    return file;
  }
  auto file = std::make_unique<AppendedFile>();
  file->name = name;
  if (const JournalRecord* r = replayNext("log-open")) {
    const JournaledOpening& opening = s.openings.at(s.nextOpening++);
    if (opening.name != name) replayDiverged(*r, "log-open of " + name);
    file->startSize = opening.startSize;
    file->onDisk = opening.onDisk;
  }
  file->target = std::fopen(name.c_str(), "ab");
  if (file->target == nullptr) return nullptr;
  if (s.mode == Mode::Recording) {
    std::fseek(file->target, 0, SEEK_END);
    file->startSize = std::ftell(file->target);
    recordEntry("log-open", std::to_string(file->startSize) + " " + escapeWord(name));
  }
  file->scratch = openScratch();
  if (file->scratch == nullptr) {
    std::fprintf(stderr, "Cannot make a scratch file for %s: %s\n", name.c_str(),
                 std::strerror(errno));
    std::fclose(file->target);
    return nullptr;
  }
  std::FILE* scratch = file->scratch;
  s.files.push_back(std::move(file));
  return scratch;
}

void closeAppendedOutput(std::FILE* file) {
  JournalState& s = journal();
  const auto it = std::find_if(s.files.begin(), s.files.end(),
                               [&](const auto& f) { return f->scratch == file; });
  if (it == s.files.end()) {
    forgetOutputBeforeWaits(file);
    std::fclose(file);
    return;
  }
  flushAppended(**it);
  std::fclose((*it)->scratch);
  std::fclose((*it)->target);
  s.files.erase(it);
}

void flushAppendedOutputs() {
  for (const auto& file : journal().files) flushAppended(*file);
}

std::string exactNumberText(double value) {
  char text[96];
  std::snprintf(text, sizeof text, "%.17g %a", value, value);
  return text;
}

bool parseExactNumber(const std::string& text, double& value) {
  // The exact bits are the last field.
  const std::size_t blank = text.rfind(' ');
  const std::string bits = blank == std::string::npos ? text : text.substr(blank + 1);
  char* end = nullptr;
  value = std::strtod(bits.c_str(), &end);
  return end != bits.c_str() && *end == '\0';
}

std::string escapeWord(const std::string& word) {
  std::string text;
  for (const unsigned char c : word) {
    if (c > ' ' && c < 0x7f && c != '%') {
      text.push_back(static_cast<char>(c));
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", c);
      text += code;
    }
  }
  return text;
}

std::string unescapeWord(const std::string& text) {
  std::string word;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      word.push_back(static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
      i += 2;
    } else {
      word.push_back(text[i]);
    }
  }
  return word;
}

}  // namespace designopt
