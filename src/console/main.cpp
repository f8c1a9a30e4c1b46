// designopt: designs one air grille after another at minimum production cost.
//
// Without arguments a new run starts in the working folder; `--resume` goes on with
// the folder's unfinished run, exactly where it stopped. Every run keeps its session
// journal "designopt.journal" there and holds it locked, so that one designopt works
// in a folder at a time.
#include <cstdio>
#include <cstring>
#include <string>

#include "console/design_console.h"
#include "platform/run_command.h"
#include "platform/session_journal.h"

namespace {

#if defined(_WIN32)
constexpr const char* kPlatform = "windows";
#else
constexpr const char* kPlatform = "linux";
#endif

constexpr const char* kUsage =
    "Usage: designopt [--resume | --help | --version]\n"
    "\n"
    "designopt designs a QUVA 27K linear air grille at minimum production cost. It asks\n"
    "for the design at the console, prices candidate designs in the cost workbook through\n"
    "the launchers Prevada.exe, Tallowin.exe and Quorvel.exe, and keeps the best design\n"
    "that meets the noise and air flow requirements.\n"
    "\n"
    "  (no argument)  start a new run in the working folder\n"
    "  --resume       go on with the working folder's unfinished run: its answers, dates,\n"
    "                 launcher results and costs are taken from designopt.journal, and\n"
    "                 the run carries on at the prompt where it stopped\n"
    "  --help         print this text\n"
    "  --version      print designopt's version\n"
    "\n"
    "Files, all in the working folder: input.dat (the problem), outexcel.dat and ProIn.dat\n"
    "(the exchange with the cost workbook), log<date>.dat (the run log) and\n"
    "designopt.journal (what the run read, for --resume). The launchers are looked for on\n"
    "the PATH, then beside designopt.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace designopt;
  JournalStart start = JournalStart::NewRun;
  if (argc > 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (argc == 2) {
    if (std::strcmp(argv[1], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
      std::printf("designopt %s\n", DESIGNOPT_VERSION);
      return 0;
    }
    if (std::strcmp(argv[1], "--resume") != 0) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    start = JournalStart::Resume;
  }

  addOwnFolderToCommandPath();
  const std::string version = std::string(DESIGNOPT_VERSION) + " " + kPlatform;
  if (!startSessionJournal(start, version)) return 1;
  const int status = runDesignConsole();
  finishSessionJournal();
  return status;
}
