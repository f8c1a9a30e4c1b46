// Faults around a whole design session: launchers that fail or never price (with a
// stale cost file from an earlier pricing), a cost file with no cost in it, the built
// launchers without their cost sheets, files that cannot be created, answers that
// cannot be a design, a workbook that prices every design the same, and a designopt
// killed at a prompt. Each session must end with the settled message and status, never
// wait for ever, never take a cost its own pricing did not write, and leave the run log
// with everything written before the fault after what an earlier run of the same date
// left.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "session_harness.h"

namespace designopt_tests {
namespace {

// What an earlier run of today left in the run log.
const char kEarlierLog[] = "an earlier run of today\n";

// The log header of the standard answers' problem.
const char kStandardHeader[] =
    "\nThe number of variables is 3\n\nRanges of the variables\n"
    "24.000000\t0.004000\t70.000000\t\n64.000000\t0.007000\t75.000000\t\n"
    "The initial seed is 0\n";

const char kIterationOneHeading[] = "\n\n ======== Design  Iteration 1 =========== \n\n";
const char kRetryPrompt[] = " Press 'Enter' to price the design again\n";
const char kInputEnded[] = "\n Console input has ended.\n";

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The name designopt gives today's run log ("log" and the date words of "input.dat").
std::string todaysLogName() {
  const std::time_t now = std::time(nullptr);
  char name[80];
  std::strftime(name, sizeof name, "log%B%d%y.dat", std::localtime(&now));
  return name;
}

class FaultInjectionTest : public ProgramSessionTest {
 protected:
  void SetUp() override {
    ProgramSessionTest::SetUp();
    std::ofstream(directory_ + "/" + todaysLogName(), std::ios::binary) << kEarlierLog;
  }

  // The earlier content, then the header and the first iteration's heading: what the
  // run had written to its log when the first pricing failed.
  void expectLogKeptUpToTheFirstPricing() {
    const std::string log = readFile(todaysLogName());
    EXPECT_EQ(log.rfind(std::string(kEarlierLog) + kStandardHeader + kIterationOneHeading, 0),
              0u)
        << log;
  }
};

// The launcher's status is reported and the pricing goes on with what it wrote.
TEST_F(FaultInjectionTest, FailingTallowinIsReportedAndTheDesignFinishes) {
  struct Case {
    const char* ending;   // how the fake Tallowin ends after pricing
    const char* warning;  // the warning of each pricing
  };
  const Case cases[] = {
      {"exit 3\n", "Warning: Tallowin.exe ended with status 3\n"},
      {"kill -TERM $$\n", "Warning: Tallowin.exe ended with status 143\n"},
  };
  for (const Case& c : cases) {
    writeLauncher("Tallowin.exe",
                  "awk '$1 == \"MandrelBar\" { m = $2 }"
                  " END { printf \"Cost\\n%.6f\\n\", 10 + 0.01 * (m - 36) * (m - 36) }'"
                  " outexcel.dat > ProIn.dat\n" +
                      std::string(c.ending));
    const SessionResult r = run(standardAnswers() + oneIterationAnswers() + "n\n");
    EXPECT_EQ(r.status, 0) << c.ending << r.err;
    EXPECT_EQ(countOf(r.err, c.warning), 11) << c.ending;
    EXPECT_TRUE(endsWith(r.out, "\n Continue? Yes/No (y/n): ")) << c.ending;
    EXPECT_NE(readFile(todaysLogName()).find("\n\n The best design is:\n"), std::string::npos);
  }
}

// No cost where it should stand, with the cost of an earlier pricing (42) still in
// "ProIn.dat": the old cost is never taken. The designer is asked to have the design
// priced again, as often as he presses Enter; the end of the console input ends the
// run with its message, and the log keeps what was written.
TEST_F(FaultInjectionTest, NoCostFromThePricingIsPricedAgainNeverTakenFromBefore) {
  struct Case {
    const char* tallowin;  // the fake launcher's script
    const char* message;   // the cost file's message
    const char* warning;   // on the error stream, or ""
  };
  const char* const notFound = "Data file ProIn.dat not found !\n";
  const char* const noCost = "Data file ProIn.dat holds no cost !\n";
  const Case cases[] = {
      {"exit 0\n", notFound, ""},
      {"exit 4\n", notFound, "Warning: Tallowin.exe ended with status 4\n"},
      {nullptr, notFound,  // no launcher on the PATH
       "Warning: Tallowin.exe was not found; put the folder that holds the launchers on the "
       "PATH\n"},
      {": > ProIn.dat\n", noCost, ""},
      {"printf '\\001\\377\\000\\033garbage\\n\\376\\n' > ProIn.dat\n", noCost, ""},
      {"printf 'Cost of the design\\n' > ProIn.dat\n", noCost, ""},
      {"printf 'Cost of the design\\n-' > ProIn.dat\n", noCost, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tallowin == nullptr ? "no Tallowin" : c.tallowin);
    // The built launchers lie beside the built designopt and would be found there.
    if (c.tallowin == nullptr) useDesignoptAlone();
    std::ofstream(directory_ + "/ProIn.dat", std::ios::binary) << "Cost of the design\n42\n";
    std::filesystem::remove(directory_ + "/fakebin/Tallowin.exe");
    std::ofstream(directory_ + "/" + todaysLogName(), std::ios::binary) << kEarlierLog;
    if (c.tallowin != nullptr) writeLauncher("Tallowin.exe", c.tallowin);

    // The initial cost's two characters and the candidate's Enter, then one retry
    // (its prompt and its confirmation); end of input at the second retry prompt.
    const SessionResult r = run(standardAnswers() + "\n\n" + "\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.out, std::string(c.message) + kRetryPrompt)) << r.out;
    EXPECT_EQ(countOf(r.out, std::string(c.message) + kRetryPrompt), 2);
    EXPECT_EQ(countOf(r.out, " Please Wait While Excel Cost is Running....\n"), 2);
    if (c.warning[0] != '\0') {
      EXPECT_EQ(countOf(r.err, c.warning), 2) << r.err;
    }
    EXPECT_TRUE(endsWith(r.err, kInputEnded)) << r.err;
    expectLogKeptUpToTheFirstPricing();
  }
}

// A designopt killed while it waits (a closed window, Ctrl-C, a power cut) leaves its
// run log with everything it had written: before the first candidate's confirmation
// the header, and at the happy prompt the whole first iteration with its points. The
// killed log is a prefix of the log of the same session run to its end.
TEST_F(FaultInjectionTest, KilledAtAPromptKeepsEverythingItHadWritten) {
  const std::string throughIteration = standardAnswers() + std::string(11, '\n') + "1\n0\n\n";
  const SessionResult whole = run(throughIteration + "y\nn\n");
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::string wholeLog = readFile(todaysLogName());

  struct Case {
    const char* prompt;
    int occurrence;
    const char* loggedLast;  // the end of the log at that prompt
  };
  const Case cases[] = {
      {" Please Wait While Excel Cost is Running....\n", 1, kIterationOneHeading},
      {"Which one you want to choose as the criteria: 1,2,...:", 1,
       " The maximum positive difference (point-fitted) is "},
      {"Are you happy with the results?", 1, "The last optimum with real function value is as below!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prompt);
    std::ofstream(directory_ + "/" + todaysLogName(), std::ios::binary) << kEarlierLog;
    const SessionResult r = runAndKillAtPrompt(throughIteration, c.prompt, c.occurrence);
    ASSERT_EQ(r.status, 128 + 9) << r.out;
    const std::string log = readFile(todaysLogName());
    EXPECT_EQ(wholeLog.rfind(log, 0), 0u) << "not a prefix of the whole run's log:\n" << log;
    EXPECT_NE(log.find(c.loggedLast), std::string::npos) << log;
    EXPECT_TRUE(endsWith(log, "\n")) << log;
  }
}

// A workbook that prices every design the same gives a flat model: each cutting
// search says so once, not at every energy evaluation, so the error stream stays
// small and the design still finishes.
TEST_F(FaultInjectionTest, FlatWorkbookSaysSoOncePerSearch) {
  writeLauncher("Tallowin.exe", "printf 'Cost of the design\\n44.986500\\n' > ProIn.dat\n");
  const SessionResult r = run(standardAnswers() + oneIterationAnswers() + "n\n");
  EXPECT_EQ(r.status, 0) << r.err.substr(0, 2000);
  const int flat = countOf(r.err, "Error: a=0 in Function: cutEnnergy !!!\n");
  const int cuts = countOf(r.out, "  -----  Cutting the Objective Function ------ \n");
  EXPECT_GE(flat, 1);
  EXPECT_LE(flat, 6 * cuts) << "each cut is six searches";
  EXPECT_LT(r.err.size(), 20000u);
}

// The built launchers copied without their cost sheets: each fails with its message
// and writes no cost.
TEST_F(FaultInjectionTest, BuiltLaunchersWithoutTheirCostSheets) {
  const std::string bin = directory_ + "/nosheets";
  std::filesystem::create_directory(bin);
  for (const char* name : {"Prevada.exe", "Quorvel.exe", "Tallowin.exe"}) {
    std::filesystem::copy_file(std::string(DESIGNOPT_BIN_DIR) + "/" + name, bin + "/" + name);
  }
  const SessionResult r = runWithPath(standardAnswers() + "\n\n\n", bin, 120);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Prevada: cannot open the cost workbook C:\\zrk\\quva source\\"
                       "QUVA2002_Old.xls (" + bin + "/QUVA2002_Old.costsheet: "),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Warning: Prevada.exe ended with status 1\n"), std::string::npos);
  EXPECT_NE(r.err.find("Tallowin: cannot open the cost workbook C:\\zrk\\quva source\\"
                       "QUVA2002.xls (" + bin + "/QUVA2002.costsheet: "),
            std::string::npos);
  EXPECT_NE(r.err.find("Warning: Tallowin.exe ended with status 1\n"), std::string::npos);
  EXPECT_FALSE(fileExists("ProIn.dat"));
  EXPECT_TRUE(endsWith(r.out, std::string("Data file ProIn.dat not found !\n") + kRetryPrompt));
  EXPECT_TRUE(endsWith(r.err, kInputEnded)) << r.err;
  expectLogKeptUpToTheFirstPricing();
}

// A file designopt must write is a directory: the settled message, status 1, and the
// run log keeps what came before.
TEST_F(FaultInjectionTest, FilesThatCannotBeWritten) {
  struct Case {
    std::string blocked;  // made a directory
    const char* message;  // the last standard output
  };
  const Case cases[] = {
      {"input.dat", "Cannot create file: input.dat!\n"},
      {todaysLogName(), "Data file log*.dat not found!\n"},
      {"outexcel.dat", "Cannot find file: outexcel.dat!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blocked);
    std::filesystem::remove_all(directory_ + "/" + c.blocked);
    std::filesystem::create_directory(directory_ + "/" + c.blocked);
    const SessionResult r = run(standardAnswers() + "\n\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.out, c.message)) << r.out;
    EXPECT_FALSE(fileExists("tallowin-calls.txt")) << "no design may be priced";
    if (c.blocked == "input.dat") {
      EXPECT_EQ(readFile(todaysLogName()), kEarlierLog);
      EXPECT_FALSE(fileExists("outexcel.dat"));
    }
    if (c.blocked == "outexcel.dat") expectLogKeptUpToTheFirstPricing();
    std::filesystem::remove_all(directory_ + "/" + c.blocked);
    std::ofstream(directory_ + "/" + todaysLogName(), std::ios::binary) << kEarlierLog;
  }
}

// Answers that cannot be a design (not finite, or a width, tolerance, air supply,
// static pressure or thickness of 0 or less) are asked for again, so no unusable
// problem is ever written: at end of input the run ends at the prompt, with nothing
// priced and the run log of the day untouched.
TEST_F(FaultInjectionTest, AnswersThatCannotBeADesignNeverReachTheProblem) {
  const char* const answers[] = {
      "48\n2\nnan\n",               // tolerance NaN
      "48\n2\n1e39\n",              // tolerance beyond single precision: inf
      "48\n2\n-0.005\n",            // negative tolerance
      "48\n2\n0.005\n30\n100\n0.1\n1\n2\nnan\n",  // room temperature NaN
      "48\n2\n0.005\n30\n100\n0.1\n2\n0\n",      // thickness 0
  };
  for (const char* input : answers) {
    SCOPED_TRACE(input);
    const SessionResult r = run(input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kInputEnded);
    EXPECT_FALSE(fileExists("input.dat"));
    EXPECT_FALSE(fileExists("tallowin-calls.txt"));
    EXPECT_EQ(readFile(todaysLogName()), kEarlierLog);
  }
}

}  // namespace
}  // namespace designopt_tests
