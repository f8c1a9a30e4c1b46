// Writer and reader of the problem file "input.dat".
#include "driver/problem_file.h"

#include <cmath>
#include <cstdlib>

#include "driver/run_log.h"
#include "platform/date_text.h"

namespace designopt {

namespace {

constexpr const char* kProblemFileName = "input.dat";

// Longest date word kept; the rest of a longer word is dropped, so a malformed date
// line cannot overrun the word buffers or shift the words that follow.
constexpr int kDateWordLength = 11;

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

std::FILE* readProblemFile(DesignState& state) {
  // The problem file itself.
  std::FILE* in = std::fopen(kProblemFileName, "r");
  if (in == nullptr) {
    std::printf("Data file input.dat not found!\n");
    std::exit(1);
  }

  // The date line: month, day and year, then every blank up to the label line.
  char month[kDateWordLength + 1];
  char day[kDateWordLength + 1];
  char year[kDateWordLength + 1];
  if (!readDateWord(in, month) || !readDateWord(in, day) || !readDateWord(in, year)) {
    problemFileError();
  }
  std::fscanf(in, " ");

  // The run log is named after the date words.
  std::FILE* log = openRunLog(month, day, year);

  // The label line, then the variable count, checked before anything is allocated.
  skipLabelLine(in);
  int n = 0;
  if (std::fscanf(in, "%d", &n) != 1 || n < kMinVariables || n > kMaxVariables) {
    problemFileError();
  }

  // The bounds, all checked before the state is allocated for them.
  double lower[kMaxVariables + 1];
  double upper[kMaxVariables + 1];
  for (int j = 1; j <= n; ++j) {
    if (std::fscanf(in, "%lf %lf ", &lower[j], &upper[j]) != 2) problemFileError();
    if (!std::isfinite(lower[j]) || !std::isfinite(upper[j]) || lower[j] > upper[j]) {
      problemFileError();
    }
  }
  std::fclose(in);

  // A fresh state; the bounds are both the previous and the current ranges.
  allocateDesignState(state, n);
  for (int j = 1; j <= n; ++j) {
    state.prevLower[j] = lower[j];
    state.curLower[j] = lower[j];
    state.prevUpper[j] = upper[j];
    state.curUpper[j] = upper[j];
  }
  writeLogHeader(log, n, state.prevLower, state.prevUpper, state.seed);
  return log;
}

}  // namespace designopt
