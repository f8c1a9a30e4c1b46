#include "platform/run_command.h"

#include <cstdio>
#include <cstdlib>

#include "platform/waiting.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace designopt {

namespace {

// What the command interpreter reports when it cannot find the command: a POSIX
// shell ends with 127, the Windows command interpreter with 9009.
#if defined(_WIN32)
constexpr int kCommandNotFoundStatus = 9009;
#else
constexpr int kCommandNotFoundStatus = 127;
#endif

}  // namespace

int shellExitStatus(int systemResult) {
  if (systemResult == -1) return 127;
#if defined(_WIN32)
  return systemResult;
#else
  if (WIFEXITED(systemResult)) return WEXITSTATUS(systemResult);
  if (WIFSIGNALED(systemResult)) return 128 + WTERMSIG(systemResult);
  return 127;
#endif
}

int runCommand(const char* commandLine) {
  // The child writes to the same console, and designopt may be stopped while it
  // waits: everything written so far goes out first.
  flushBeforeWaiting();
  const int systemResult = std::system(commandLine);
  const int status = shellExitStatus(systemResult);
  if (status == 0) return status;
  // A launcher that is not found is the usual fault of a new installation: say what
  // to do instead of a bare status.
  if (systemResult != -1 && status == kCommandNotFoundStatus) {
    std::fprintf(stderr,
                 "Warning: %s was not found; put the folder that holds the launchers on the "
                 "PATH\n",
                 commandLine);
  } else {
    std::fprintf(stderr, "Warning: %s ended with status %d\n", commandLine, status);
  }
  return status;
}

}  // namespace designopt
