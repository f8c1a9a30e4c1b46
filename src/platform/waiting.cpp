#include "platform/waiting.h"

#include <algorithm>
#include <vector>

#include "platform/session_journal.h"

namespace designopt {

namespace {

// At most a handful of files: the run log of the design being optimised.
std::vector<std::FILE*>& registeredOutputs() {
  static std::vector<std::FILE*> files;
  return files;
}

}  // namespace

void keepOutputFlushedBeforeWaits(std::FILE* file) {
  std::vector<std::FILE*>& files = registeredOutputs();
  if (file == nullptr || std::find(files.begin(), files.end(), file) != files.end()) return;
  files.push_back(file);
}

void forgetOutputBeforeWaits(std::FILE* file) {
  std::vector<std::FILE*>& files = registeredOutputs();
  files.erase(std::remove(files.begin(), files.end(), file), files.end());
}

void flushBeforeWaiting() {
  // The files first: by the time the designer sees the prompt, the log holds
  // everything written before it.
  flushAppendedOutputs();
  for (std::FILE* file : registeredOutputs()) std::fflush(file);
  std::fflush(stdout);
  std::fflush(stderr);
}

}  // namespace designopt
