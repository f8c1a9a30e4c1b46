// Naming, opening and closing of the run log.
#include "driver/run_log.h"

#include <cstdlib>

#include "platform/session_journal.h"

namespace designopt {

std::string runLogName(const char* month, const char* day, const char* year) {
  char name[80];
  std::snprintf(name, sizeof name, "log%s%s%s.dat", month, day, year);
  return name;
}

std::FILE* openRunLog(const char* month, const char* day, const char* year) {
  const std::string name = runLogName(month, day, year);
  // The log is written between waits for the designer and the workbook; each wait
  // writes it out, so a designopt stopped at a prompt loses nothing it had written,
  // and a resumed run continues it (platform/session_journal.h).
  std::FILE* log = openAppendedOutput(name);
  if (log == nullptr) {
    std::printf("Data file log*.dat not found!\n");
    std::exit(1);
  }
  return log;
}

void closeRunLog(std::FILE*& log) {
  if (log == nullptr) return;
  closeAppendedOutput(log);
  log = nullptr;
}

}  // namespace designopt
