// Naming, opening, header, iteration summary and closing of the run log.
#include "driver/run_log.h"

#include <cstdlib>

#include "numeric/quad_model.h"
#include "platform/session_journal.h"

namespace designopt {

namespace {

void writeValues(std::FILE* log, int n, const DVector& values) {
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", values[j]);
  std::fprintf(log, "\n");
}

}  // namespace

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

void writeLogHeader(std::FILE* log, int n, const DVector& lower, const DVector& upper,
                    int seed) {
  std::fprintf(log, "\nThe number of variables is %d\n\n", n);
  std::fprintf(log, "Ranges of the variables\n");
  writeValues(log, n, lower);
  writeValues(log, n, upper);
  std::fprintf(log, "The initial seed is %d\n", seed);
}

void writeIterationSummary(std::FILE* log, int /*iteration*/, int n, int nPoints,
                           const DVector& lower, const DVector& upper,
                           const DMatrix& points, const DVector& funcValues,
                           const DVector& xOpt, double fOpt, double cutValue) {
  std::fprintf(log, "\n ---------- Points Summary in this Iteration ---------\n");
  std::fprintf(log, "Ranges of the variables and will be cut with the value of %lf\n",
               cutValue);
  writeValues(log, n, lower);
  writeValues(log, n, upper);

  std::fprintf(log, "Number of Experiments\n");
  std::fprintf(log, "%d\n", nPoints);

  std::fprintf(log, "Point Matrix\n");
  for (int i = 1; i <= nPoints; ++i) {
    for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", points[i][j]);
    std::fprintf(log, "%lf\n", funcValues[i]);
  }

  std::fprintf(log, "\n\nNormalized variables for reference\n");
  for (int i = 1; i <= nPoints; ++i) {
    for (int j = 1; j <= n; ++j) {
      std::fprintf(log, "%lf\t", normaliseToRange(points[i][j], lower[j], upper[j]));
    }
    std::fprintf(log, "%lf\n", funcValues[i]);
  }

  std::fprintf(log, "\nThe last optimum with real function value is as below!\n");
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", xOpt[j]);
  std::fprintf(log, "%lf\n", fOpt);
}

void closeRunLog(std::FILE*& log) {
  if (log == nullptr) return;
  closeAppendedOutput(log);
  log = nullptr;
}

}  // namespace designopt
