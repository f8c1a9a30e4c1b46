#include "platform/console_answers.h"

#include <cstdio>

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
// designer sees it even when the standard output is not a terminal.
void showPrompt() { std::fflush(stdout); }

template <typename T>
AnswerStatus readNumber(const char* format, T& value) {
  showPrompt();
  T converted{};
  const int result = std::scanf(format, &converted);
  if (result == 1) {
    value = converted;
    return AnswerStatus::Ok;
  }
  if (result == EOF) return AnswerStatus::EndOfInput;
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

bool readConfirmation(int count) {
  showPrompt();
  for (int i = 0; i < count; ++i) {
    if (std::getchar() == EOF) return false;
  }
  return true;
}

}  // namespace designopt
