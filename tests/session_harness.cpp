// The child-process harness of the whole-program tests.
#include "session_harness.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

namespace designopt_tests {

const char* const kConvexCost = "10 + 0.01 * (m - 36) * (m - 36) + 0.02 / t";
const char* const kConcaveCost = "100 - 0.01 * (m - 44) * (m - 44)";

void ProgramSessionTest::SetUp() {
  std::string pattern = ::testing::TempDir() + "designopt_session_XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  directory_ = pattern;
  std::filesystem::create_directory(directory_ + "/fakebin");
  writeLauncher("Prevada.exe", "exit 0\n");
  writeLauncher("Quorvel.exe", "cp outexcel.dat quorvel-saw.dat\nexit 0\n");
  useCostFormula(kConvexCost);
}

void ProgramSessionTest::TearDown() {
  // Keep the directory of a failed test for inspection.
  if (HasFailure()) {
    std::printf("session directory kept: %s\n", directory_.c_str());
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void ProgramSessionTest::writeLauncher(const std::string& name, const std::string& body) {
  const std::string path = directory_ + "/fakebin/" + name;
  std::ofstream(path, std::ios::binary) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

void ProgramSessionTest::useCostFormula(const char* awkExpression) {
  writeLauncher("Tallowin.exe",
                std::string("echo priced >> tallowin-calls.txt\n"
                            "awk '$1 == \"MandrelBar\" { m = $2 } $1 == \"tolerance\" { t = $2 }\n"
                            "     END { printf \"Cost of the design\\n%.6f\\n\", ") +
                    awkExpression + " }' outexcel.dat > ProIn.dat\n");
}

SessionResult ProgramSessionTest::run(const std::string& input, int timeoutSeconds) {
  return runWithPath(input, directory_ + "/fakebin", timeoutSeconds);
}

SessionResult ProgramSessionTest::runWithBuiltLaunchers(const std::string& input,
                                                        int timeoutSeconds) {
  return runWithPath(input, DESIGNOPT_BIN_DIR, timeoutSeconds);
}

namespace {

void removeJournals(const std::string& directory) {
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename().string().rfind("designopt.journal", 0) == 0) {
      std::filesystem::remove(entry.path());
    }
  }
}

}  // namespace

SessionResult ProgramSessionTest::resume(const std::string& input, int timeoutSeconds) {
  return runWithArguments(input, "--resume", timeoutSeconds);
}

SessionResult ProgramSessionTest::runWithArguments(const std::string& input,
                                                   const std::string& arguments,
                                                   int timeoutSeconds) {
  return runCommandLine(input, directory_ + "/fakebin", arguments, timeoutSeconds);
}

void ProgramSessionTest::useDesignoptAlone() {
  const std::string alone = directory_ + "/alone";
  std::filesystem::create_directories(alone);
  std::filesystem::copy_file(DESIGNOPT_BIN_DIR "/designopt", alone + "/designopt",
                             std::filesystem::copy_options::overwrite_existing);
  designopt_ = alone + "/designopt";
}

SessionResult ProgramSessionTest::runWithPath(const std::string& input,
                                              const std::string& launcherDirectory,
                                              int timeoutSeconds) {
  if (!keepJournal_) removeJournals(directory_);
  return runCommandLine(input, launcherDirectory, "", timeoutSeconds);
}

SessionResult ProgramSessionTest::runCommandLine(const std::string& input,
                                                 const std::string& launcherDirectory,
                                                 const std::string& arguments,
                                                 int timeoutSeconds) {
  std::ofstream(directory_ + "/stdin.txt", std::ios::binary) << input;
  const std::string command = "cd '" + directory_ + "' && PATH='" + launcherDirectory +
                              "':\"$PATH\" timeout " + std::to_string(timeoutSeconds) + " '" +
                              designopt_ + "' " + arguments +
                              " < stdin.txt > stdout.txt 2> stderr.txt";
  const int raw = std::system(command.c_str());
  SessionResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readFile("stdout.txt");
  result.err = readFile("stderr.txt");
  return result;
}

namespace {

// True while the process is blocked in read() on its standard input.
bool blockedReadingTheConsole(pid_t pid) {
  std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
  std::string number;
  std::string fd;
  syscall >> number >> fd;
  return number == "0" && fd == "0x0";
}

}  // namespace

SessionResult ProgramSessionTest::runAndKillWhen(
    const std::string& input, const char* argument, int timeoutSeconds,
    const std::function<bool(pid_t designopt, int console)>& stopHere) {
  if (!keepJournal_) removeJournals(directory_);
  std::filesystem::remove(directory_ + "/stdout.txt");
  std::filesystem::remove(directory_ + "/stderr.txt");
  std::filesystem::remove(directory_ + "/launcher.pid");
  int console[2];
  EXPECT_EQ(pipe(console), 0);
  const std::string path = directory_ + "/fakebin:" + std::getenv("PATH");
  const pid_t pid = fork();
  if (pid == 0) {
    // A process group of its own, so that the kill takes the launchers it runs too.
    setpgid(0, 0);
    if (chdir(directory_.c_str()) != 0) _exit(126);
    setenv("PATH", path.c_str(), 1);
    dup2(console[0], 0);
    close(console[0]);
    close(console[1]);
    if (std::freopen("stdout.txt", "w", stdout) == nullptr) _exit(126);
    if (std::freopen("stderr.txt", "w", stderr) == nullptr) _exit(126);
    execl(designopt_.c_str(), "designopt", argument, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(console[0]);
  // The whole input at once; the console stays open, so designopt waits for more.
  EXPECT_EQ(write(console[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));

  bool stopped = false;
  bool ended = false;
  int status = 0;
  for (int polls = 0; polls < timeoutSeconds * 100 && !stopped && !ended; ++polls) {
    stopped = stopHere(pid, console[1]);
    ended = !stopped && waitpid(pid, &status, WNOHANG) == pid;
    if (!stopped && !ended) usleep(10000);
  }
  if (!ended) {
    // designopt, the command interpreter it waits for and a hanging launcher, at once:
    // nothing of the killed run writes to the next run's files afterwards.
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  std::filesystem::remove(directory_ + "/launcher.pid");
  close(console[1]);

  SessionResult result;
  if (stopped) {
    result.status = 128 + SIGKILL;
  } else if (ended) {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  } else {
    result.status = kTimedOut;
  }
  result.out = readFile("stdout.txt");
  result.err = readFile("stderr.txt");
  return result;
}

SessionResult ProgramSessionTest::runAndKillAtPrompt(const std::string& input,
                                                    const std::string& prompt, int occurrence,
                                                    int timeoutSeconds) {
  return runAndKillWhen(input, nullptr, timeoutSeconds, [&](pid_t, int) {
    return countOf(readFile("stdout.txt"), prompt) >= occurrence;
  });
}

SessionResult ProgramSessionTest::runAndKillWhenWaiting(const std::string& input,
                                                       const char* argument,
                                                       int timeoutSeconds) {
  // Waiting: the console pipe is empty and designopt is blocked reading it (seen twice,
  // 10 ms apart), or a launcher hangs.
  int seen = 0;
  return runAndKillWhen(input, argument, timeoutSeconds, [&](pid_t pid, int console) {
    int unread = -1;
    ioctl(console, FIONREAD, &unread);
    seen = unread == 0 && blockedReadingTheConsole(pid) ? seen + 1 : 0;
    return seen >= 2 || fileExists("launcher.pid");
  });
}

std::string ProgramSessionTest::readFile(const std::string& name) const {
  std::ifstream in(directory_ + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ProgramSessionTest::fileExists(const std::string& name) const {
  return std::filesystem::exists(directory_ + "/" + name);
}

std::string ProgramSessionTest::runLog() const {
  std::string text;
  int logs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("log", 0) == 0 && name.size() > 7 &&
        name.compare(name.size() - 4, 4, ".dat") == 0) {
      text = readFile(name);
      ++logs;
    }
  }
  EXPECT_EQ(logs, 1) << "expected exactly one run log";
  return text;
}

int countOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size())) {
    ++count;
  }
  return count;
}

std::string standardAnswers() { return "48\n2\n0.005\n30\n100\n0.1\n1\n1\n"; }

std::string oneIterationAnswers() {
  // The first pricing shows the initial cost and reads the line end left by the last
  // answer and one Enter, then reads one Enter for its candidate; each later pricing
  // reads one Enter.
  return std::string(11, '\n') + "1\n0\n" + "\ny\n";
}

}  // namespace designopt_tests
