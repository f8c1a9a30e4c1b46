#include "platform/console_answers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "platform/waiting.h"

namespace designopt {

namespace {

// Discards the rest of the current input line after a conversion that failed.
void discardRestOfLine() {
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
}

// A prompt has no line end, so it is flushed before the console is read: the
// designer sees it even when the standard output is not a terminal. The run log is
// flushed with it, since the designer may end designopt at any prompt.
void showPrompt() { flushBeforeWaiting(); }

// An int is always finite; a float or double may convert to nan or inf ("nan", "inf",
// or "%f" of 1e39, beyond single precision).
template <typename T>
bool isFiniteNumber(T value) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::isfinite(value);
  } else {
    return true;
  }
}

template <typename T>
AnswerStatus readNumber(const char* format, T& value) {
  showPrompt();
  T converted{};
  const int result = std::scanf(format, &converted);
  if (result == EOF) return AnswerStatus::EndOfInput;
  if (result == 1 && isFiniteNumber(converted)) {
    value = converted;
    return AnswerStatus::Ok;
  }
  discardRestOfLine();
  return AnswerStatus::NotANumber;
}

}  // namespace

AnswerStatus readFloatAnswer(float& value) { return readNumber("%f", value); }
AnswerStatus readIntAnswer(int& value) { return readNumber("%d", value); }
AnswerStatus readDoubleAnswer(double& value) { return readNumber("%lf", value); }

AnswerStatus readWordAnswer(std::string& word, int maxLength) {
  char format[32];
  std::snprintf(format, sizeof format, "%%%ds", maxLength);
  std::string buffer(static_cast<std::size_t>(maxLength) + 1, '\0');
  showPrompt();
  if (std::scanf(format, buffer.data()) != 1) return AnswerStatus::EndOfInput;
  word = buffer.c_str();
  return AnswerStatus::Ok;
}

int readCharacter() {
  showPrompt();
  return std::getchar();
}

int readSingleKey(int answerAtEndOfInput) {
  showPrompt();
  if (std::getchar() == EOF) return answerAtEndOfInput;
  const int answer = std::getchar();
  return answer == EOF ? answerAtEndOfInput : answer;
}

void endAtConsoleInputEnd() {
  flushBeforeWaiting();
  std::fprintf(stderr, "\n Console input has ended.\n");
  std::exit(1);
}

bool readConfirmation(int count) {
  showPrompt();
  for (int i = 0; i < count; ++i) {
    if (std::getchar() == EOF) return false;
  }
  return true;
}

}  // namespace designopt
