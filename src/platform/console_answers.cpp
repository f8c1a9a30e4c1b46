#include "platform/console_answers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "platform/session_journal.h"
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

// The journal's text of a number answer: its kind, then the value as a reader would
// write it and its exact bits, "not-a-number" or "end-of-input".
const char* numberKind(float) { return "float"; }
const char* numberKind(int) { return "int"; }
const char* numberKind(double) { return "double"; }

template <typename T>
std::string numberText(T value) {
  if constexpr (std::is_floating_point_v<T>) {
    return exactNumberText(static_cast<double>(value));
  } else {
    return std::to_string(value);
  }
}

// The answer from a journal being replayed: the record must be of the same kind.
template <typename T>
AnswerStatus replayedNumber(const JournalRecord& record, T& value) {
  const std::string kind = numberKind(T{});
  if (record.text.rfind(kind + " ", 0) != 0) replayDiverged(record, "a " + kind + " answer");
  const std::string rest = record.text.substr(kind.size() + 1);
  if (rest == "not-a-number") return AnswerStatus::NotANumber;
  double number = 0;
  if constexpr (std::is_floating_point_v<T>) {
    if (!parseExactNumber(rest, number)) replayDiverged(record, "a " + kind + " answer");
  } else {
    char* end = nullptr;
    number = static_cast<double>(std::strtol(rest.c_str(), &end, 10));
    if (end == rest.c_str() || *end != '\0') replayDiverged(record, "a " + kind + " answer");
  }
  value = static_cast<T>(number);
  return AnswerStatus::Ok;
}

template <typename T>
AnswerStatus readNumber(const char* format, T& value) {
  showPrompt();
  if (const JournalRecord* record = replayNext("answer")) return replayedNumber(*record, value);
  const std::string kind = numberKind(T{});
  T converted{};
  const int result = std::scanf(format, &converted);
  if (result == EOF) {
    recordEntry("answer", kind + " end-of-input");
    return AnswerStatus::EndOfInput;
  }
  if (result == 1 && isFiniteNumber(converted)) {
    value = converted;
    recordEntry("answer", kind + " " + numberText(converted));
    return AnswerStatus::Ok;
  }
  discardRestOfLine();
  recordEntry("answer", kind + " not-a-number");
  return AnswerStatus::NotANumber;
}

// One character of the console, from the journal while it is replayed.
int takeCharacter() {
  if (const JournalRecord* record = replayNext("key")) {
    char* end = nullptr;
    const long code = std::strtol(record->text.c_str(), &end, 10);
    if (end == record->text.c_str() || *end != '\0') replayDiverged(*record, "a key");
    return static_cast<int>(code);
  }
  const int c = std::getchar();
  recordEntry("key", c == EOF ? std::string("end-of-input") : std::to_string(c));
  return c;
}

}  // namespace

AnswerStatus readFloatAnswer(float& value) { return readNumber("%f", value); }
AnswerStatus readIntAnswer(int& value) { return readNumber("%d", value); }
AnswerStatus readDoubleAnswer(double& value) { return readNumber("%lf", value); }

AnswerStatus readWordAnswer(std::string& word, int maxLength) {
  showPrompt();
  if (const JournalRecord* record = replayNext("answer")) {
    if (record->text.rfind("word ", 0) != 0) replayDiverged(*record, "a word answer");
    word = unescapeWord(record->text.substr(5));
    return AnswerStatus::Ok;
  }
  char format[32];
  std::snprintf(format, sizeof format, "%%%ds", maxLength);
  std::string buffer(static_cast<std::size_t>(maxLength) + 1, '\0');
  if (std::scanf(format, buffer.data()) != 1) {
    recordEntry("answer", "word end-of-input");
    return AnswerStatus::EndOfInput;
  }
  word = buffer.c_str();
  // A typed word that reads like the end of input is told apart by escaping its 'e'.
  std::string text = escapeWord(word);
  if (text == "end-of-input") text = "%65nd-of-input";
  recordEntry("answer", "word " + text);
  return AnswerStatus::Ok;
}

int readCharacter() {
  showPrompt();
  return takeCharacter();
}

int readSingleKey(int answerAtEndOfInput) {
  showPrompt();
  if (takeCharacter() == EOF) return answerAtEndOfInput;
  const int answer = takeCharacter();
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
    if (takeCharacter() == EOF) return false;
  }
  return true;
}

}  // namespace designopt
