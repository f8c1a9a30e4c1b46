// The session journal "designopt.journal": everything a run takes from outside that
// could differ on another run, in the order the run takes it, so that a run stopped
// at any moment (a closed window, Ctrl-C, a power cut) can be gone on with exactly.
//
// A designopt run is fully determined by what it reads: the designer's answers, the
// clock's date text, the launchers' exit statuses and the costs the workbook leaves
// in "ProIn.dat". The journal records each of these as one text line, flushed to disk
// as it is taken, together with what is needed to continue the run log (its size
// when the run opened it, and its size and checksum at every wait). `designopt
// --resume` runs the same session again from its start, taking each of these from
// the journal instead of from outside, and carries on live at the read where the
// first run stopped.
//
// The file, one record a line, readable in a text editor:
//
//   designopt journal 1                     format version
//   designopt 1.0 linux                     the designopt that wrote it
//   began December 11 26                    the date the run began
//   answer float 48 0x1.8p+5                a "%f" answer: its value ("%.17g"), then its
//                                           exact bits ("%a")
//   answer int 1                            a "%d" answer
//   answer double 0.25 0x1p-2               a "%lf" answer
//   answer word yes                         a "%s" answer (bytes outside 0x21..0x7e and
//                                           '%' written as %XX)
//   answer float not-a-number               an answer that was no (finite) number
//   answer float end-of-input               the console input had ended
//   key 10                                  one character read ("key end-of-input")
//   date December 11 26                     a date text taken from the clock
//   launcher Tallowin.exe 0                 a launcher's exit status ("... 127
//                                           no-interpreter" when none could start it)
//   cost 36.25 0x1.22p+5                    the cost read from "ProIn.dat"
//   cost not-found / cost no-cost           the file was missing / held no cost
//   log-open 366 logDecember1126.dat        the run log, with its size when opened
//   log-flush 1523 9c1f0e3a5b7d2e11         this run's bytes in it and their checksum
//   finished                                the run ended normally
//
// A last line without its line end (a write cut short by a power cut) is dropped. A
// resumed run stops taking records at the first end of input: that is where the first
// run lost its console, so the resumed run reads that answer live.
//
// One designopt per folder: the journal is locked while a run works (an advisory
// lock that the operating system drops when the process ends, however it ends).
#pragma once

#include <cstdio>
#include <string>

namespace designopt {

enum class JournalStart {
  NewRun,  // a new run: an unfinished journal is kept aside, then a new one begun
  Resume,  // go on with the unfinished run of the folder's journal
};

// The journal's file name, in the working folder.
extern const char* const kJournalFileName;

// Locks and opens the folder's journal for this run. For a new run: keeps an
// unfinished journal aside as "designopt.journal.<n>" (saying so on the standard error
// stream) and begins a new one. For a resume: reads and checks the journal and the run
// logs it continues, then replays it. Returns false after printing the reason on the
// standard error stream when the run cannot start (another designopt works in the
// folder, the folder cannot be written, nothing to resume, a journal of another
// version, a run log that holds what the journal's run did not write); nothing has
// then been written. `version` names this designopt ("1.0 linux").
bool startSessionJournal(JournalStart how, const std::string& version);

// The run ended normally (status 0 at the continue prompt): marks the journal finished,
// unless the console input had ended before the last answer (the run then took answers
// the designer never gave, and a resume goes on at that read).
void finishSessionJournal();

// The seams. A record is a kind ("answer", "key", "date", "launcher", "cost",
// "log-open", "log-flush") and the rest of its line.
struct JournalRecord {
  std::string kind;
  std::string text;  // the rest of the line after the kind and one blank
  int line = 0;      // line number in the journal
};

// While the run replays its journal: the next record, which must be of `kind`; a record
// of another kind ends the run as a replay that left the journal's path. Returns
// nullptr when the run is live: no journal, or the replay is over (it ends at the end
// of the journal or at its first end of input, and the run carries on recording).
const JournalRecord* replayNext(const char* kind);

// Appends a record when the run is recording; does nothing otherwise.
void recordEntry(const char* kind, const std::string& text);

// The replay met a record that the run does not take there: says where on the standard
// error stream, keeps the journal as it is and ends the process with status 1.
// `asked` says what the run asked for ("a float answer").
[[noreturn]] void replayDiverged(const JournalRecord& record, const std::string& asked);

// Files designopt appends to (the run log). Without a journal these are plain files
// opened for appending and flushed before every wait. With one, the run writes into a
// scratch copy, and before every wait the new bytes go to the file only after the
// journal has recorded the file's size and checksum; a resumed run checks the file
// against those records, writes none of the bytes the file already holds, and appends
// the rest. Returns nullptr when the file cannot be opened for appending.
std::FILE* openAppendedOutput(const std::string& name);
// The last bytes written out, then closed.
void closeAppendedOutput(std::FILE* file);
// Writes out every open appended file (called before every wait and at exit).
void flushAppendedOutputs();

// Exact text of a double for a record: "%.17g" then its hexadecimal bits; and back.
std::string exactNumberText(double value);
bool parseExactNumber(const std::string& text, double& value);

// A word in a record: bytes outside '!'..'~' and '%' as %XX; and back.
std::string escapeWord(const std::string& word);
std::string unescapeWord(const std::string& text);

}  // namespace designopt
