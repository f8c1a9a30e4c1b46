// Memory running out in the middle of a design: the one-based arrays' allocator is made
// to fail at a chosen allocation while the whole console runs in a child process (its
// console input from a file, fake launchers first on PATH). The process must end with
// the three lines of the fatal numeric error on the standard error stream, none of them
// on the standard output, exit status 1, and a run log that holds exactly what the run
// had written before the fault: a prefix of the log of the same session without the
// fault, with at least the header and every iteration heading the console had shown.
// A session without a fault leaves no model behind in the model context.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/design_console.h"
#include "numeric/one_based.h"
#include "numeric/quad_model.h"
#include "session_harness.h"

namespace designopt_tests {
namespace {

// Allocations seen so far, and the number of the one that fails (0: none fails).
long allocationsSoFar = 0;
long failingAllocation = 0;

void* countingAllocator(std::size_t bytes) {
  ++allocationsSoFar;
  if (allocationsSoFar == failingAllocation) return nullptr;
  return std::malloc(bytes);
}

// A request this large is a block of a deviate table: every one-based array of the
// session is smaller (the largest, the point set, is 251 x 3 doubles).
constexpr std::size_t kDeviateBlockBytes = 8192;

// Fails the first block of a deviate table, which the first annealing search asks for.
void* failingDeviateTableAllocator(std::size_t bytes) {
  if (bytes >= kDeviateBlockBytes) return nullptr;
  return std::malloc(bytes);
}

// The allocator the console runs with.
designopt::ArrayAllocator sessionAllocator = countingAllocator;

const char kFatalEnd[] =
    "Numeric run-time error\\.\\.\\.\n"
    "allocation failure (in dvector\\(\\)|in ivector\\(\\)|1 in matrix\\(\\)|2 in matrix\\(\\)|"
    "in the deviate table)\n"
    "\\.\\.\\.now exiting to system\\.\\.\\.\n$";

class AllocationFaultTest : public ProgramSessionTest {
 protected:
  // Runs the design console in this (child) process inside the test's directory and
  // ends it; the number of allocations goes to "allocations.txt" when no fault ended it.
  void runConsoleAndExit(const std::string& input) {
    writeInput(input);
    if (chdir(directory_.c_str()) != 0) std::_Exit(99);
    const std::string path = directory_ + "/fakebin:" + std::getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    if (std::freopen("stdin.txt", "r", stdin) == nullptr) std::_Exit(98);
    if (std::freopen("stdout.txt", "w", stdout) == nullptr) std::_Exit(97);
    designopt::setArrayAllocatorForTesting(sessionAllocator);
    const int status = designopt::runDesignConsole();
    std::FILE* count = std::fopen("allocations.txt", "w");
    std::fprintf(count, "%ld\n", allocationsSoFar);
    std::fclose(count);
    // Whether the model context still points into a design that has ended.
    std::FILE* context = std::fopen("model_context.txt", "w");
    std::fprintf(context, "%s\n", designopt::modelContext.coefs == nullptr ? "cleared" : "left set");
    std::fclose(context);
    std::exit(status);
  }

  void writeInput(const std::string& input) {
    std::FILE* file = std::fopen((directory_ + "/stdin.txt").c_str(), "wb");
    std::fwrite(input.data(), 1, input.size(), file);
    std::fclose(file);
  }

  void removeRunLogs() {
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("log", 0) == 0) std::filesystem::remove(entry.path());
    }
  }
};

TEST_F(AllocationFaultTest, TheRunEndsWithTheFatalErrorAndKeepsItsLog) {
  // One design of two iterations: the first answered in full, with a return at the
  // happy prompt; the input then ends and the second iteration finishes by itself.
  const std::string input = standardAnswers() + std::string(11, '\n') + "1\n0\n" + "\n\n\n";

  // The session without a fault: its log and its number of allocations.
  sessionAllocator = countingAllocator;
  failingAllocation = 0;
  EXPECT_EXIT(runConsoleAndExit(input), ::testing::ExitedWithCode(0), "");
  const std::string fullLog = runLog();
  ASSERT_NE(fullLog.find("\n\n ======== Design  Iteration 2 =========== \n\n"),
            std::string::npos);
  EXPECT_EQ(readFile("model_context.txt"), "cleared\n") << "the design's model outlived it";
  const long allocations = std::atol(readFile("allocations.txt").c_str());
  ASSERT_GT(allocations, 100);
  const std::string header = fullLog.substr(0, fullLog.find("The initial seed is 0\n") + 22);

  long previousLength = 0;
  for (int eighth = 1; eighth <= 8; ++eighth) {
    failingAllocation = allocations * eighth / 8;
    SCOPED_TRACE("allocation " + std::to_string(failingAllocation) + " of " +
                 std::to_string(allocations) + " fails");
    removeRunLogs();
    EXPECT_EXIT(runConsoleAndExit(input), ::testing::ExitedWithCode(1),
                ::testing::ContainsRegex(kFatalEnd));

    const std::string out = readFile("stdout.txt");
    EXPECT_EQ(out.find("run-time error"), std::string::npos);
    EXPECT_EQ(out.find("now exiting"), std::string::npos);

    // Everything the run wrote to its log before the fault, and nothing else.
    const std::string log = runLog();
    EXPECT_EQ(fullLog.compare(0, log.size(), log), 0) << log;
    EXPECT_EQ(log.rfind(header, 0), 0u) << log;
    EXPECT_EQ(countOf(log, "======== Design  Iteration"), countOf(out, "Design Iteration"));
    EXPECT_GE(static_cast<long>(log.size()), previousLength);
    previousLength = static_cast<long>(log.size());
  }
}

// The deviate tables of the annealing engine come from the same allocator: memory
// running out for one ends the run like any array, with the fatal message, status 1 and
// a log that keeps everything written before (here the first fit of iteration 1).
TEST_F(AllocationFaultTest, ADeviateTableThatCannotBeAllocatedEndsTheRunAndKeepsItsLog) {
  const std::string input = standardAnswers() + std::string(11, '\n') + "1\n0\n" + "\n\n\n";
  sessionAllocator = countingAllocator;
  failingAllocation = 0;
  EXPECT_EXIT(runConsoleAndExit(input), ::testing::ExitedWithCode(0), "");
  const std::string fullLog = runLog();

  removeRunLogs();
  sessionAllocator = failingDeviateTableAllocator;
  EXPECT_EXIT(runConsoleAndExit(input), ::testing::ExitedWithCode(1),
              ::testing::ContainsRegex("Numeric run-time error\\.\\.\\.\n"
                                       "allocation failure in the deviate table\n"
                                       "\\.\\.\\.now exiting to system\\.\\.\\.\n$"));
  sessionAllocator = countingAllocator;

  const std::string out = readFile("stdout.txt");
  EXPECT_EQ(out.find("run-time error"), std::string::npos);
  const std::string log = runLog();
  EXPECT_EQ(fullLog.compare(0, log.size(), log), 0) << log;
  EXPECT_NE(log.find("\nThe fitted coefs are :\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Points Summary"), std::string::npos) << log;
}

}  // namespace
}  // namespace designopt_tests
