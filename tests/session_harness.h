// Runs the built designopt as a child process for the whole-program tests: each test
// owns a fresh temporary working directory with fake launchers (shell scripts named
// Prevada.exe, Quorvel.exe and Tallowin.exe) first on PATH, feeds a scripted console
// input from a file and captures the standard output and error streams in files. A
// timeout guards against a session that would wait or spin forever.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <functional>
#include <string>

namespace designopt_tests {

// Status of a session that the timeout had to stop.
constexpr int kTimedOut = 124;

struct SessionResult {
  int status = -1;  // exit status; kTimedOut when the timeout stopped it
  std::string out;  // standard output
  std::string err;  // standard error
};

// The fake Tallowin's cost: 10 + 0.01 (MandrelBar - 36)^2 + 0.02 / tolerance, from the
// keys of "outexcel.dat", written to "ProIn.dat" as a first line and the cost. It rises
// away from a length of 36 inches, so the fitted model passes the concavity check.
extern const char* const kConvexCost;
// 100 - 0.01 (MandrelBar - 44)^2: a cost that curves downwards in the length.
extern const char* const kConcaveCost;

class ProgramSessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs a fake launcher: `body` is the shell script after "#!/bin/sh".
  void writeLauncher(const std::string& name, const std::string& body);
  // The fake Tallowin pricing with the given awk expression of m (MandrelBar) and
  // t (tolerance).
  void useCostFormula(const char* awkExpression);

  // Runs designopt with `input` as its standard input.
  SessionResult run(const std::string& input, int timeoutSeconds = 120);
  // The same with the built launchers and their built-in cost workbook first on PATH
  // instead of the fake ones.
  SessionResult runWithBuiltLaunchers(const std::string& input, int timeoutSeconds = 120);

  std::string readFile(const std::string& name) const;
  bool fileExists(const std::string& name) const;
  // The text of the run log (the one file log*.dat in the working directory).
  std::string runLog() const;

  // Runs designopt on the fake launchers with `input` typed into a console that stays
  // open, and kills it (SIGKILL, as a closed window or a power cut would end it) once
  // its standard output shows `prompt` for the `occurrence`-th time. The result's
  // status is 128 + 9 when it was killed there, kTimedOut when the prompt never came.
  SessionResult runAndKillAtPrompt(const std::string& input, const std::string& prompt,
                                   int occurrence, int timeoutSeconds = 60);

  // Runs designopt (with `argument`, or none) on the fake launchers with `input` typed
  // into a console that stays open, and kills it with SIGKILL once it waits: once it
  // is blocked reading the console with all of `input` taken, or once a launcher has
  // written "launcher.pid" (a launcher that hangs). designopt runs in a process group of
  // its own, and the kill takes the whole group, launchers included. The status is
  // 128 + 9 when it was killed there, kTimedOut when it never waited.
  SessionResult runAndKillWhenWaiting(const std::string& input, const char* argument = nullptr,
                                      int timeoutSeconds = 60);

  // The shape of both: designopt on a console that stays open, killed once `stopHere`
  // says so (polled every 10 ms with its pid and the console's writing end).
  SessionResult runAndKillWhen(const std::string& input, const char* argument,
                               int timeoutSeconds,
                               const std::function<bool(pid_t designopt, int console)>& stopHere);

  // Runs designopt with the given directory of launchers first on PATH.
  SessionResult runWithPath(const std::string& input, const std::string& launcherDirectory,
                            int timeoutSeconds);
  // The same with arguments, keeping the folder's journals.
  SessionResult runCommandLine(const std::string& input, const std::string& launcherDirectory,
                               const std::string& arguments, int timeoutSeconds);

  // `designopt --resume` on the fake launchers, with `input` as its standard input.
  SessionResult resume(const std::string& input, int timeoutSeconds = 120);
  // designopt with any arguments ("" for none) on the fake launchers.
  SessionResult runWithArguments(const std::string& input, const std::string& arguments,
                                 int timeoutSeconds = 120);

  // From now on runs a copy of designopt that lies alone in a folder of the test, so
  // that no launcher is found beside it.
  void useDesignoptAlone();

  std::string directory_;
  // Each session starts as in a fresh folder: the journal of the session before is
  // removed first, unless a test of the journal keeps it.
  bool keepJournal_ = false;
  std::string designopt_ = DESIGNOPT_BIN_DIR "/designopt";
};

// Number of non-overlapping occurrences of `what` in `text`.
int countOf(const std::string& text, const std::string& what);

// The console answers of one design up to the two default-or-new choices (length 48,
// width 2, tolerance 0.005, NC 30, 100 CFM, 0.1 in of water, both defaults).
std::string standardAnswers();

// The answers after the console prompts that run one design of the convex cost to its
// end: eleven confirmations, the first listed value as the cutting level, '0' to stop
// cutting, the constrained optimum's confirmation, 'y' at the happy prompt.
std::string oneIterationAnswers();

}  // namespace designopt_tests
