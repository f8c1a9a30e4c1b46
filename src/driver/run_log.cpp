// Naming, opening and closing of the run log.
#include "driver/run_log.h"

#include <cstdlib>

#include "platform/waiting.h"

namespace designopt {

std::string runLogName(const char* month, const char* day, const char* year) {
  char name[80];
  std::snprintf(name, sizeof name, "log%s%s%s.dat", month, day, year);
  return name;
}

std::FILE* openRunLog(const char* month, const char* day, const char* year) {
  const std::string name = runLogName(month, day, year);
  std::FILE* log = std::fopen(name.c_str(), "a");
  if (log == nullptr) {
    std::printf("Data file log*.dat not found!\n");
    std::exit(1);
  }
  // The log is written between waits for the designer and the workbook; each wait
  // flushes it, so a designopt stopped at a prompt loses nothing it had written.
  keepOutputFlushedBeforeWaits(log);
  return log;
}

void closeRunLog(std::FILE*& log) {
  if (log == nullptr) return;
  forgetOutputBeforeWaits(log);
  std::fclose(log);
  log = nullptr;
}

}  // namespace designopt
