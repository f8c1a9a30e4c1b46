// A run stopped anywhere and gone on with by `designopt --resume` is the same run as
// one that was never stopped: the same standard output, the same "input.dat",
// "outexcel.dat" and run log, and no design priced twice. The session is the golden
// two-designs session on the concave fake cost, which waits at every kind of prompt;
// each case kills it (SIGKILL) at one wait and resumes it with the rest of its answers.
//
// Also here: what a resume refuses, one designopt per folder, the arguments, and the
// launchers found beside designopt.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "session_harness.h"

namespace designopt_tests {
namespace {

const char* const kJournal = "designopt.journal";
const char* const kRunFiles[] = {"input.dat", "outexcel.dat"};

std::vector<std::string> answerLines() {
  std::ifstream in(DESIGNOPT_SOURCE_DIR "/tests/golden/two-designs-concave/answers.txt",
                   std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

std::string joined(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to && i < lines.size(); ++i) text += lines[i];
  return text;
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The first line of a stream and the rest.
std::string afterFirstLine(const std::string& text) {
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? "" : text.substr(end + 1);
}
std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

// What one session leaves that a resumed session must leave alike.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::string log;
  std::string files[2];
  std::string journal;  // without the line of the date it began
  int tallowinRuns = 0;
};

std::string withoutBeganLine(std::string journal) {
  const std::size_t began = journal.find("\nbegan ");
  if (began != std::string::npos) journal.erase(began, journal.find('\n', began + 1) - began);
  return journal;
}

class ResumeTest : public ProgramSessionTest {
 protected:
  void SetUp() override {
    ProgramSessionTest::SetUp();
    keepJournal_ = true;
    lines_ = answerLines();
    // Tallowin hangs at the pricing whose number stands in "hang-at".
    writeLauncher("Tallowin.exe",
                  std::string("echo run >> tallowin-runs.txt\n"
                              "n=$(cat tallowin-calls.txt 2>/dev/null | wc -l)\n"
                              "if [ -f hang-at ] && [ \"$n\" -eq \"$(cat hang-at)\" ]; then\n"
                              "  rm hang-at; echo $$ > launcher.pid; exec sleep 60\nfi\n"
                              "echo priced >> tallowin-calls.txt\n"
                              "awk '$1 == \"MandrelBar\" { m = $2 } $1 == \"tolerance\" "
                              "{ t = $2 }\n     END { printf \"Cost of the design\\n%.6f\\n\", ") +
                      kConcaveCost + " }' outexcel.dat > ProIn.dat\n");
  }

  // Removes what a session leaves, so that the next starts as in a fresh folder.
  void clearFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      const std::string name = entry.path().filename().string();
      if (name != "fakebin" && name != "installed") std::filesystem::remove_all(entry.path());
    }
  }

  // The one run log in the folder.
  std::string logName() const {
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("log", 0) == 0 && name.size() > 7 &&
          name.compare(name.size() - 4, 4, ".dat") == 0) {
        return name;
      }
    }
    return "";
  }

  // Replaces the first `was` in the journal by `becomes`.
  void editJournal(const std::string& was, const std::string& becomes) {
    std::string journal = readFile(kJournal);
    const std::size_t at = journal.find(was);
    ASSERT_NE(at, std::string::npos) << was;
    journal.replace(at, was.size(), becomes);
    std::ofstream(directory_ + "/" + kJournal, std::ios::binary) << journal;
  }

  Outcome outcome(const SessionResult& r) {
    Outcome o;
    o.status = r.status;
    o.out = r.out;
    o.err = r.err;
    o.log = runLog();
    for (int i = 0; i < 2; ++i) o.files[i] = readFile(kRunFiles[i]);
    o.journal = withoutBeganLine(readFile(kJournal));
    o.tallowinRuns = countOf(readFile("tallowin-runs.txt"), "run");
    return o;
  }

  // The whole session, never stopped.
  const Outcome& whole() {
    if (whole_.status < 0) {
      clearFolder();
      whole_ = outcome(run(joined(lines_, 0, lines_.size())));
      clearFolder();
    }
    return whole_;
  }

  // A resumed session's outcome against the whole session's: the same streams (but
  // the resume's own first line on the error stream) and files, and the pricings of
  // both parts (the Tallowin runs, counted in the folder they share) adding up to the
  // whole session's plus `repriced`.
  void expectSameAsWhole(const Outcome& resumed, int repriced) {
    const Outcome& w = whole();
    EXPECT_EQ(resumed.status, w.status);
    EXPECT_EQ(resumed.out, w.out);
    EXPECT_EQ(afterFirstLine(resumed.err), w.err);
    EXPECT_EQ(resumed.log, w.log);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(resumed.files[i], w.files[i]) << kRunFiles[i];
    EXPECT_EQ(resumed.tallowinRuns, w.tallowinRuns + repriced) << "Tallowin runs of both parts";
    // The resumed run's journal holds what the whole run's does, so it can be resumed
    // again and ends as the whole run's did.
    EXPECT_EQ(resumed.journal, w.journal);
  }

  std::vector<std::string> lines_;
  Outcome whole_;
};

// Killed at each kind of wait: the designer's answers typed so far (a count of answer
// lines) and the prompt the first run shows when it is killed.
TEST_F(ResumeTest, KilledAtEveryKindOfWaitGoesOnExactly) {
  struct Case {
    std::size_t typed;   // answer lines the first run took
    const char* shown;   // the end of its standard output when it was killed
  };
  const Case cases[] = {
      {0, " Design Grille Length (4-96 inch): "},
      {2, " Design Tolerance (0.005-0.01): "},
      {6, " Design Mandrel Bar Thickness (1 Default 0.125 2 New Value): "},
      {8, " Done!...Press 'Enter'\n"},  // the initial cost's confirmation
      {12, " Done!...Press 'Enter'\n"},  // a candidate's confirmation
      {19, "Which one you want to choose as the criteria: 1,2,...:"},
      {20, " Continue cutting, return; Otherwise, enter '0':  "},
      {25, "Which one you want to choose as the criteria: 1,2,...:"},
      {27, " Continue cutting, return; Otherwise, enter '0':  "},
      {28, "you need more points? 'y' or 'n' :"},
      {29, "Yes: Enter '0' : "},
      {31, "Yes: Enter 'y' : "},
      {32, " Continue? Yes/No (y/n): "},
      {33, " Design Grille Length (4-96 inch): "},  // the second design
      {60, " Done!...Press 'Enter'\n"},                // inside the second design
  };
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0) << w.err;
  for (const Case& c : cases) {
    SCOPED_TRACE("after " + std::to_string(c.typed) + " answer lines");
    clearFolder();
    const SessionResult first = runAndKillWhenWaiting(joined(lines_, 0, c.typed));
    ASSERT_EQ(first.status, 128 + 9) << first.out.substr(first.out.size() - 300);
    EXPECT_TRUE(endsWith(first.out, c.shown)) << "[" << first.out.substr(first.out.size() - 120) << "]";
    const SessionResult resumed = resume(joined(lines_, c.typed, lines_.size()));
    EXPECT_EQ(firstLine(resumed.err).rfind("Resumed the run of ", 0), 0u) << resumed.err;
    expectSameAsWhole(outcome(resumed), 0);
  }
}

// Killed while Tallowin prices a candidate: that pricing is run again, no other.
TEST_F(ResumeTest, KilledWhileTallowinRunsPricesThatDesignAgain) {
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0);
  clearFolder();
  std::ofstream(directory_ + "/hang-at") << "4\n";
  const SessionResult first = runAndKillWhenWaiting(joined(lines_, 0, lines_.size()));
  ASSERT_EQ(first.status, 128 + 9);
  EXPECT_EQ(countOf(readFile("tallowin-calls.txt"), "priced"), 4);
  // The answers typed after the hanging pricing's confirmation were lost with the run.
  const SessionResult resumed = resume(joined(lines_, 13, lines_.size()));
  expectSameAsWhole(outcome(resumed), 1);
}

// A run killed, resumed and killed again, then resumed: the second resume takes the
// first resume's journal, which holds the whole run so far.
TEST_F(ResumeTest, KilledAgainAfterAResumeGoesOnAgain) {
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0);
  clearFolder();
  ASSERT_EQ(runAndKillWhenWaiting(joined(lines_, 0, 10)).status, 128 + 9);
  const SessionResult again = runAndKillWhenWaiting(joined(lines_, 10, 30), "--resume");
  ASSERT_EQ(again.status, 128 + 9);
  EXPECT_TRUE(endsWith(again.out, "Yes: Enter 'y' : ")) << again.out.substr(again.out.size() - 200);
  const SessionResult resumed = resume(joined(lines_, 30, lines_.size()));
  expectSameAsWhole(outcome(resumed), 0);
}

// The console input ended (a closed pipe, Ctrl-D) at a prompt: the run ended there,
// and a resume goes on at that prompt with the designer's answer.
TEST_F(ResumeTest, EndOfInputIsWhereTheResumeGoesOnLive) {
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0);
  for (const std::size_t typed : {std::size_t{5}, std::size_t{10}, std::size_t{31}}) {
    SCOPED_TRACE(typed);
    clearFolder();
    run(joined(lines_, 0, typed));
    const SessionResult resumed = resume(joined(lines_, typed, lines_.size()));
    const Outcome o = outcome(resumed);
    EXPECT_EQ(o.out, w.out);
    EXPECT_EQ(afterFirstLine(o.err), w.err);
    EXPECT_EQ(o.log, w.log);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(o.files[i], w.files[i]) << kRunFiles[i];
  }
}

// What a resume refuses, each with its message and status 1, writing nothing and
// keeping the journal as it was.
TEST_F(ResumeTest, RefusalsWriteNothing) {
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0);
  enum class Spoil { NoJournal, Finished, LogGrew, LogChanged, OtherFormat, OtherDesignopt };
  // Leaves the folder spoilt as said; returns the run log's name, if there is one.
  const auto spoil = [this](Spoil how) {
    if (how == Spoil::NoJournal) return std::string();
    if (how == Spoil::Finished) {
      // A design that the designer ends with "n" at the continue prompt.
      useCostFormula(kConvexCost);
      EXPECT_EQ(run(standardAnswers() + oneIterationAnswers() + "n\n").status, 0);
      EXPECT_TRUE(endsWith(readFile(kJournal), "\nanswer word n\nfinished\n"));
      return logName();
    }
    runAndKillWhenWaiting(joined(lines_, 0, 20));
    const std::string log = logName();
    if (how == Spoil::LogGrew) {
      std::ofstream(directory_ + "/" + log, std::ios::app) << "a note\n";
    } else if (how == Spoil::LogChanged) {
      std::string text = readFile(log);
      text[40] = text[40] == '1' ? '2' : '1';
      std::ofstream(directory_ + "/" + log, std::ios::binary) << text;
    } else if (how == Spoil::OtherFormat) {
      editJournal("designopt journal 1\n", "designopt journal 2\n");
    } else {
      editJournal("designopt 1.0 linux\n", "designopt 0.9 linux\n");
    }
    return log;
  };
  struct Case {
    const char* what;
    Spoil how;
    const char* message;  // the start of the standard error
  };
  const Case cases[] = {
      {"no journal", Spoil::NoJournal,
       "Nothing to resume: there is no designopt.journal in this folder.\n"},
      {"a finished journal", Spoil::Finished,
       "Nothing to resume: the last run in this folder ended normally.\n"},
      {"a run log that grew since", Spoil::LogGrew, "Cannot resume: the run log log"},
      {"a run log changed since", Spoil::LogChanged, "Cannot resume: the run log log"},
      {"another journal format", Spoil::OtherFormat,
       "Cannot resume: designopt.journal is of journal format 2; this designopt reads "
       "format 1.\n"},
      {"another designopt", Spoil::OtherDesignopt,
       "Cannot resume: designopt.journal was written by designopt 0.9 linux; this is "
       "designopt 1.0 linux.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clearFolder();
    const std::string log = spoil(c.how);
    const std::string journalBefore = readFile(kJournal);
    const std::string logBefore = log.empty() ? "" : readFile(log);
    const std::string inputBefore = readFile("input.dat");
    const SessionResult r = resume(joined(lines_, 10, lines_.size()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1) << r.err;
    EXPECT_EQ(readFile(kJournal), journalBefore);
    if (!log.empty()) {
      EXPECT_EQ(readFile(log), logBefore);
    }
    EXPECT_EQ(readFile("input.dat"), inputBefore);
  }
}

// A journal edited by hand so that the run takes another path: the replay stops at
// the first difference, names the journal's line, and keeps the journal.
TEST_F(ResumeTest, AReplayThatLeavesTheJournalsPathStopsThere) {
  clearFolder();
  ASSERT_EQ(runAndKillWhenWaiting(joined(lines_, 0, 20)).status, 128 + 9);
  // The first candidate's cost becomes another: the fit, and so the log, differ.
  std::string journal = readFile(kJournal);
  const std::size_t cost = journal.find("\ncost ", journal.find("launcher Tallowin.exe"));
  ASSERT_NE(cost, std::string::npos);
  const std::size_t end = journal.find('\n', cost + 1);
  journal.replace(cost + 1, end - cost - 1, "cost 50 0x1.9p+5");
  std::ofstream(directory_ + "/" + kJournal, std::ios::binary) << journal;
  const std::string logBefore = readFile(logName());

  const SessionResult r = resume(joined(lines_, 20, lines_.size()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Cannot resume: the run took another path than designopt.journal: "
                       "at its line "),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("where the run asked for log-flush "), std::string::npos) << r.err;
  EXPECT_EQ(readFile(kJournal), journal);
  EXPECT_EQ(readFile(logName()), logBefore);

  // A record of another kind where the run takes an answer.
  clearFolder();
  ASSERT_EQ(runAndKillWhenWaiting(joined(lines_, 0, 3)).status, 128 + 9);
  editJournal("answer float 2 0x1p+1\n", "answer int 2\n");
  const SessionResult kind = resume(joined(lines_, 3, lines_.size()));
  EXPECT_EQ(kind.status, 1);
  EXPECT_NE(kind.err.find("holds \"answer int 2\" where the run asked for a float answer."),
            std::string::npos)
      << kind.err;
}

// A record cut short by a power cut is dropped; the resume goes on from the record
// before it.
TEST_F(ResumeTest, ATornLastRecordIsDropped) {
  const Outcome& w = whole();
  ASSERT_EQ(w.status, 0);
  clearFolder();
  ASSERT_EQ(runAndKillWhenWaiting(joined(lines_, 0, 19)).status, 128 + 9);
  std::ofstream(directory_ + "/" + kJournal, std::ios::app | std::ios::binary) << "answer in";
  const SessionResult resumed = resume(joined(lines_, 19, lines_.size()));
  expectSameAsWhole(outcome(resumed), 0);
}

// A new run keeps an unfinished journal aside and says so; a finished one it replaces.
TEST_F(ResumeTest, ANewRunKeepsAnUnfinishedJournalAside) {
  clearFolder();
  ASSERT_EQ(runAndKillWhenWaiting(joined(lines_, 0, 10)).status, 128 + 9);
  const std::string unfinished = readFile(kJournal);
  // Designs that the designer ends with "n" at the continue prompt.
  useCostFormula(kConvexCost);
  const std::string finishing = standardAnswers() + oneIterationAnswers() + "n\n";
  const SessionResult r = run(finishing);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(firstLine(r.err), "designopt.journal held an unfinished run: kept as "
                              "designopt.journal.1.\n");
  EXPECT_EQ(readFile("designopt.journal.1"), unfinished);
  const SessionResult next = run(finishing);
  EXPECT_EQ(next.err.find("kept as"), std::string::npos);
  EXPECT_FALSE(fileExists("designopt.journal.2"));
}

// A continue word that reads like a record's outcome is still the designer's word: the
// run it starts is resumed at its own prompt, and a new run keeps its journal aside.
TEST_F(ResumeTest, WordsThatReadLikeRecordsAreAnswers) {
  useCostFormula(kConvexCost);
  const std::string design = standardAnswers() + oneIterationAnswers();
  for (const char* word : {"yend-of-input", "yfinished", "end-of-input"}) {
    SCOPED_TRACE(word);
    clearFolder();
    const bool goesOn = word[0] == 'y';
    const SessionResult first = runAndKillWhenWaiting(design + word + "\n");
    if (!goesOn) {
      // The word ends the run normally: nothing to resume.
      EXPECT_EQ(first.status, 0);
      EXPECT_TRUE(endsWith(readFile(kJournal), "\nfinished\n"));
      continue;
    }
    ASSERT_EQ(first.status, 128 + 9);
    ASSERT_TRUE(endsWith(first.out, " Design Grille Length (4-96 inch): "));
    const SessionResult resumed = resume("");
    EXPECT_TRUE(endsWith(resumed.out, first.out)) << resumed.out.substr(resumed.out.size() - 200);
    EXPECT_EQ(countOf(resumed.out, " Design Grille Length (4-96 inch): "), 2);
    clearFolder();
    ASSERT_EQ(runAndKillWhenWaiting(design + word + "\n").status, 128 + 9);
    const SessionResult next = run("");
    EXPECT_EQ(firstLine(next.err),
              "designopt.journal held an unfinished run: kept as designopt.journal.1.\n");
  }
}

// While a run works in a folder, a second designopt there ends at once, before any
// prompt and without writing anything; a killed run leaves no lock behind.
TEST_F(ResumeTest, OneDesignoptPerFolder) {
  clearFolder();
  std::ofstream(directory_ + "/hang-at") << "0\n";
  // The first run hangs in its first pricing; the test's second run starts meanwhile.
  const std::string input = joined(lines_, 0, lines_.size());
  std::ofstream(directory_ + "/stdin2.txt") << input;
  writeLauncher("Prevada.exe",
                "designopt=\"$DESIGNOPT\"\n"
                "for a in \"\" --resume; do\n"
                "  \"$designopt\" $a < stdin2.txt > second$a.out 2> second$a.err\n"
                "  echo $? > second$a.status\n"
                "done\nexit 0\n");
  setenv("DESIGNOPT", designopt_.c_str(), 1);
  const SessionResult first = runAndKillWhenWaiting(input);
  ASSERT_EQ(first.status, 128 + 9);
  for (const char* a : {"", "--resume"}) {
    SCOPED_TRACE(a);
    EXPECT_EQ(readFile(std::string("second") + a + ".status"), "1\n");
    EXPECT_EQ(readFile(std::string("second") + a + ".out"), "");
    EXPECT_EQ(readFile(std::string("second") + a + ".err"),
              "Another designopt is working in this folder.\n");
  }
  EXPECT_FALSE(fileExists("designopt.journal.1"));
  // The first run was killed: its lock went with it.
  writeLauncher("Prevada.exe", "exit 0\n");
  const SessionResult resumed = resume(joined(lines_, 9, lines_.size()));
  EXPECT_EQ(resumed.status, 0) << resumed.err;
}

// A folder designopt cannot write in is said before the first prompt.
TEST_F(ResumeTest, AFolderThatCannotBeWrittenIsSaidAtOnce) {
  clearFolder();
  std::filesystem::create_directory(directory_ + "/" + kJournal);
  const SessionResult r = run(joined(lines_, 0, lines_.size()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("designopt cannot write in the folder " + directory_ + ": ", 0), 0u)
      << r.err;
  EXPECT_FALSE(fileExists("input.dat"));

  // A folder without write permission, for a designopt that is not its owner (as root,
  // the test runs designopt as nobody).
  std::filesystem::remove(directory_ + "/" + kJournal);
  useDesignoptAlone();  // a copy that the other user can run, wherever the build lies
  chmod(directory_.c_str(), 0755);
  const std::string asOtherUser =
      getuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0
          ? "setpriv --reuid=65534 --regid=65534 --clear-groups "
          : "";
  if (getuid() == 0 && asOtherUser.empty()) GTEST_SKIP() << "no setpriv to drop root";
  const std::string command = "cd '" + directory_ + "' && " + asOtherUser + "'" + designopt_ +
                              "' < /dev/null > /dev/null 2> '" + ::testing::TempDir() +
                              "unwritable.err'";
  const int raw = std::system(command.c_str());
  chmod(directory_.c_str(), 0700);
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  std::ifstream in(::testing::TempDir() + "unwritable.err");
  std::string message;
  std::getline(in, message);
  EXPECT_EQ(message, "designopt cannot write in the folder " + directory_ + ": Permission denied");
  EXPECT_FALSE(fileExists(kJournal));
}

TEST_F(ResumeTest, Arguments) {
  clearFolder();
  const SessionResult help = runWithArguments("48\n", "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: designopt [--resume | --help | --version]\n", 0), 0u);
  EXPECT_NE(help.out.find("--resume"), std::string::npos);
  EXPECT_NE(help.out.find("designopt.journal"), std::string::npos);
  EXPECT_EQ(help.err, "");
  const SessionResult version = runWithArguments("", "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "designopt 1.0\n");
  for (const char* wrong : {"--bogus", "-h extra", "resume"}) {
    SCOPED_TRACE(wrong);
    const SessionResult r = runWithArguments("48\n", wrong);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, help.out);
  }
  EXPECT_FALSE(fileExists(kJournal));
  EXPECT_FALSE(fileExists("input.dat"));
}

// The launchers beside designopt are found without a PATH that names them; a PATH that
// names other launchers still wins.
TEST_F(ResumeTest, TheLaunchersBesideDesignoptAreFound) {
  clearFolder();
  const std::string installed = directory_ + "/installed";
  std::filesystem::create_directory(installed);
  std::filesystem::copy_file(DESIGNOPT_BIN_DIR "/designopt", installed + "/designopt");
  for (const char* name : {"Prevada.exe", "Quorvel.exe", "Tallowin.exe"}) {
    std::filesystem::copy_file(directory_ + "/fakebin/" + name, installed + "/" + name);
  }
  writeLauncher("Prevada.exe", "echo fakebin >> prevada-calls.txt\n");
  designopt_ = installed + "/designopt";
  const std::string input = joined(lines_, 0, 8) + "\n\n\n";
  // Nothing on the PATH: the installed launchers price.
  const SessionResult beside = runWithPath(input, "/nonexistent", 60);
  EXPECT_GT(countOf(readFile("tallowin-calls.txt"), "priced"), 0) << beside.err;
  EXPECT_FALSE(fileExists("prevada-calls.txt"));
  // The fake launchers first on the PATH: they win.
  clearFolder();
  const SessionResult path = run(input);
  EXPECT_EQ(readFile("prevada-calls.txt"), "fakebin\n") << path.err;
}

}  // namespace
}  // namespace designopt_tests
