// Writer and reader of the problem file "input.dat".
#include "driver/problem_file.h"

#include <cmath>
#include <cstdlib>

#include "driver/run_log.h"
#include "platform/date_text.h"

namespace designopt {

namespace {

constexpr const char* kProblemFileName = "input.dat";

[[noreturn]] void problemFileError() {
  std::printf("Error: reading input.dat has error!\n");
  std::exit(1);
}

// One whitespace-delimited word of at most kDateWordLength characters; the rest of
// a longer word is skipped. False when no word is left.
bool readDateWord(std::FILE* in, char (&word)[kDateWordLength + 1]) {
  if (std::fscanf(in, "%11s", word) != 1) return false;
  std::fscanf(in, "%*[^ \t\n\v\f\r]");
  return true;
}

// The label line "The number of variables": read and ignored, however long it is.
void skipLabelLine(std::FILE* in) {
  char label[80];
  if (std::fgets(label, sizeof label, in) == nullptr) return;
  for (const char* c = label; *c != '\0'; ++c) {
    if (*c == '\n') return;
  }
  int c = 0;
  do {
    c = std::fgetc(in);
  } while (c != '\n' && c != EOF);
}

}  // namespace

bool writeProblemFile(const double lower[3], const double upper[3]) {
  return writeProblemFile(localDateText().c_str(), lower, upper);
}

bool writeProblemFile(const char* dateText, const double lower[3], const double upper[3]) {
  std::FILE* out = std::fopen(kProblemFileName, "w+");
  if (out == nullptr) return false;
  std::fprintf(out, "%s\n", dateText);
  std::fprintf(out, "The number of variables\n");
  std::fprintf(out, "%d\n", 3);
  std::fprintf(out, "%6.3f %6.3f\n %6.3f %6.3f\n %6.3f %6.3f\n", lower[0], upper[0],
               lower[1], upper[1], lower[2], upper[2]);
  const bool written = std::ferror(out) == 0;
  return std::fclose(out) == 0 && written;
}

ProblemFileStatus parseProblemFile(std::FILE* in, ProblemFileContents& problem) {
  // The date line: month, day and year, then every blank up to the label line.
  if (!readDateWord(in, problem.month) || !readDateWord(in, problem.day) ||
      !readDateWord(in, problem.year)) {
    return ProblemFileStatus::BadDate;
  }
  std::fscanf(in, " ");

  // The label line, then the variable count, checked before any bound is read.
  skipLabelLine(in);
  int n = 0;
  if (std::fscanf(in, "%d", &n) != 1 || n < kMinVariables || n > kMaxVariables) {
    return ProblemFileStatus::BadProblem;
  }
  problem.nVars = n;

  // The bounds.
  for (int j = 1; j <= n; ++j) {
    double& lower = problem.lower[j];
    double& upper = problem.upper[j];
    if (std::fscanf(in, "%lf %lf ", &lower, &upper) != 2) return ProblemFileStatus::BadProblem;
    if (!std::isfinite(lower) || !std::isfinite(upper) || lower > upper) {
      return ProblemFileStatus::BadProblem;
    }
  }
  return ProblemFileStatus::Read;
}

std::FILE* readProblemFile(DesignState& state) {
  // The problem file itself.
  std::FILE* in = std::fopen(kProblemFileName, "r");
  if (in == nullptr) {
    std::printf("Data file input.dat not found!\n");
    std::exit(1);
  }
  ProblemFileContents problem;
  const ProblemFileStatus status = parseProblemFile(in, problem);
  std::fclose(in);
  if (status == ProblemFileStatus::BadDate) problemFileError();

  // The run log is named after the date words; it is opened even when the rest of
  // the problem is refused.
  std::FILE* log = openRunLog(problem.month, problem.day, problem.year);
  if (status != ProblemFileStatus::Read) problemFileError();

  // A fresh state; the bounds are both the previous and the current ranges.
  const int n = problem.nVars;
  allocateDesignState(state, n);
  for (int j = 1; j <= n; ++j) {
    state.prevLower[j] = problem.lower[j];
    state.curLower[j] = problem.lower[j];
    state.prevUpper[j] = problem.upper[j];
    state.curUpper[j] = problem.upper[j];
  }
  writeLogHeader(log, n, state.prevLower, state.prevUpper, state.seed);
  return log;
}

}  // namespace designopt
