#include "platform/run_command.h"

#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace designopt {

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
  std::fflush(stdout);
  std::fflush(stderr);
  const int status = shellExitStatus(std::system(commandLine));
  if (status != 0) std::fprintf(stderr, "Warning: %s ended with status %d\n", commandLine, status);
  return status;
}

}  // namespace designopt
