// designopt-report LOG [-o OUT.html] [--csv OUT.csv]
// Reads a run log of designopt and writes the run report as one self-contained HTML
// page (by default the log's name with ".html"), and optionally the priced points as
// CSV. A log that is not a run log, or ends inside a block, is refused with its line
// number and exit status 1; nothing is written then.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "report/output_file.h"
#include "report/report_page.h"
#include "report/run_log_reader.h"

namespace {

constexpr const char* kUsage = "Usage: designopt-report LOG [-o OUT.html] [--csv OUT.csv]\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "designopt-report: %s\n%s", message.c_str(), kUsage);
  return 2;
}

std::string defaultReportName(const std::string& log) {
  const auto slash = log.find_last_of("/\\");
  const auto dot = log.find_last_of('.');
  const std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                               ? log.substr(0, dot)
                               : log;
  return stem + ".html";
}

std::string baseName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string logPath, htmlPath, csvPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s", kUsage);
      return 0;
    }
    if (arg == "-o" || arg == "--csv") {
      if (i + 1 >= argc) return usageError(arg + " needs a file name");
      (arg == "-o" ? htmlPath : csvPath) = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (logPath.empty()) {
      logPath = arg;
    } else {
      return usageError("one run log only");
    }
  }
  if (logPath.empty()) return usageError("no run log given");
  if (htmlPath.empty()) htmlPath = defaultReportName(logPath);

  std::ifstream in(logPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "designopt-report: cannot open %s\n", logPath.c_str());
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  const designopt::RunLogReading reading = designopt::readRunLog(text.str());
  if (!reading.ok) {
    std::fprintf(stderr, "designopt-report: %s:%d: %s\n", logPath.c_str(), reading.errorLine,
                 reading.error.c_str());
    return 1;
  }

  std::string error;
  if (!designopt::writeWholeFile(htmlPath, designopt::reportPage(reading.record, baseName(logPath)),
                                 error)) {
    std::fprintf(stderr, "designopt-report: %s\n", error.c_str());
    return 1;
  }
  if (!csvPath.empty() &&
      !designopt::writeWholeFile(csvPath, designopt::pointsTable(reading.record), error)) {
    std::fprintf(stderr, "designopt-report: %s\n", error.c_str());
    return 1;
  }
  for (const designopt::DesignRecord& d : reading.record.designs) {
    if (!d.closed) {
      std::fprintf(stderr, "designopt-report: note: the design at line %d of %s was interrupted\n",
                   d.line, logPath.c_str());
    }
  }
  std::printf("Report: %s\n", htmlPath.c_str());
  if (!csvPath.empty()) std::printf("Points: %s\n", csvPath.c_str());
  return 0;
}
