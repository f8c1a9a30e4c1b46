#include "platform/run_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/session_journal.h"
#include "platform/waiting.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
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

void addOwnFolderToCommandPath() {
#if defined(_WIN32)
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return;
  std::wstring folder(path, length);
  const std::size_t slash = folder.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return;
  folder.resize(slash);
  const wchar_t* current = _wgetenv(L"PATH");
  std::wstring search = current != nullptr ? current : L"";
  if (!search.empty() && search.back() != L';') search += L';';
  search += folder;
  _wputenv_s(L"PATH", search.c_str());
#else
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return;
  std::string folder(path, static_cast<std::size_t>(length));
  const std::size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return;
  folder.resize(slash == 0 ? 1 : slash);
  std::string search;
  if (const char* current = std::getenv("PATH")) {
    search = current;
  } else {
    // The shell's own search path when none is set.
    char fallback[1024] = "";
    confstr(_CS_PATH, fallback, sizeof fallback);
    search = fallback;
  }
  if (!search.empty()) search += ':';
  search += folder;
  setenv("PATH", search.c_str(), 1);
#endif
}

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

int runCommand(const char* commandLine, void (*beforeRunning)()) {
  // The child writes to the same console, and designopt may be stopped while it
  // waits: everything written so far goes out first.
  flushBeforeWaiting();
  int status = 0;
  bool interpreterStarted = true;
  if (const JournalRecord* record = replayNext("launcher")) {
    // A resumed run takes the status the launcher ended with; it is not run again.
    char command[256] = "";
    char started[32] = "";
    const int fields = std::sscanf(record->text.c_str(), "%255s %d %31s", command, &status, started);
    if (fields < 2 || std::strcmp(command, commandLine) != 0) {
      replayDiverged(*record, std::string("a run of ") + commandLine);
    }
    interpreterStarted = fields < 3;
  } else {
    if (beforeRunning != nullptr) beforeRunning();
    const int systemResult = std::system(commandLine);
    status = shellExitStatus(systemResult);
    interpreterStarted = systemResult != -1;
    recordEntry("launcher", std::string(commandLine) + " " + std::to_string(status) +
                                (interpreterStarted ? "" : " no-interpreter"));
  }
  if (status == 0) return status;
  // A launcher that is not found is the usual fault of a new installation: say what
  // to do instead of a bare status.
  if (interpreterStarted && status == kCommandNotFoundStatus) {
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
