#include "platform/console_answers.h"
#include "platform/waiting.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace designopt {
namespace {

// Feeds `text` to standard input for the duration of a test.
class ConsoleInput : public ::testing::Test {
 protected:
  void feed(const std::string& text) {
    path_ = ::testing::TempDir() + "console_answers_input_" + std::to_string(getpid()) + ".txt";
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ASSERT_NE(std::freopen(path_.c_str(), "rb", stdin), nullptr);
  }
  std::string rest() {
    std::string s;
    for (int c; (c = std::getchar()) != EOF;) s.push_back(static_cast<char>(c));
    return s;
  }
  std::string path_;
};

TEST_F(ConsoleInput, NumberLeavesTheRestOfTheLinePending) {
  feed("48 inch\n");
  float length = 0;
  EXPECT_EQ(readFloatAnswer(length), AnswerStatus::Ok);
  EXPECT_FLOAT_EQ(length, 48.0f);
  EXPECT_EQ(rest(), " inch\n");
}

TEST_F(ConsoleInput, NotANumberDiscardsTheLineAndReportsIt) {
  feed("abc def\n12\n");
  int choice = 7;
  EXPECT_EQ(readIntAnswer(choice), AnswerStatus::NotANumber);
  EXPECT_EQ(choice, 7);
  EXPECT_EQ(readIntAnswer(choice), AnswerStatus::Ok);
  EXPECT_EQ(choice, 12);
  EXPECT_EQ(rest(), "\n");
}

// nan, inf and numbers beyond single precision convert but can be no design figure:
// they count as not a number, and the rest of their line goes with them.
TEST_F(ConsoleInput, NumberThatIsNotFiniteIsNotANumber) {
  const char* const answers[] = {"nan 5\n", "inf 5\n", "-INFINITY 5\n", "1e39 5\n"};
  for (const char* answer : answers) {
    feed(std::string(answer) + "7\n");
    float f = 3;
    EXPECT_EQ(readFloatAnswer(f), AnswerStatus::NotANumber) << answer;
    EXPECT_EQ(f, 3.0f) << answer;
    EXPECT_EQ(rest(), "7\n") << answer;
  }
  // 1e39 is a finite double: only "%f" answers overflow there.
  const char* const doubles[] = {"nan 5\n", "inf 5\n", "1e400 5\n"};
  for (const char* answer : doubles) {
    feed(std::string(answer) + "7\n");
    double d = 3;
    EXPECT_EQ(readDoubleAnswer(d), AnswerStatus::NotANumber) << answer;
    EXPECT_EQ(d, 3.0) << answer;
    EXPECT_EQ(rest(), "7\n") << answer;
  }
  feed("1e39\n");
  double big = 0;
  EXPECT_EQ(readDoubleAnswer(big), AnswerStatus::Ok);
  EXPECT_EQ(big, 1e39);
}

// The run log registered for flushing holds everything written before a read, so a
// designopt stopped at the prompt loses nothing.
TEST_F(ConsoleInput, RegisteredOutputIsFlushedBeforeEveryRead) {
  const std::string logPath =
      ::testing::TempDir() + "console_answers_log_" + std::to_string(getpid()) + ".txt";
  std::FILE* log = std::fopen(logPath.c_str(), "w");
  ASSERT_NE(log, nullptr);
  keepOutputFlushedBeforeWaits(log);
  std::fputs("written before the prompt\n", log);
  feed("1\n");
  int i = 0;
  EXPECT_EQ(readIntAnswer(i), AnswerStatus::Ok);
  std::FILE* reader = std::fopen(logPath.c_str(), "r");
  ASSERT_NE(reader, nullptr);
  char line[64] = {};
  EXPECT_NE(std::fgets(line, sizeof line, reader), nullptr);
  EXPECT_STREQ(line, "written before the prompt\n");
  std::fclose(reader);
  forgetOutputBeforeWaits(log);
  std::fclose(log);
  std::remove(logPath.c_str());
}

TEST_F(ConsoleInput, EndOfInputIsReportedForEveryKindOfAnswer) {
  feed("  \n");
  float f = 0;
  double d = 0;
  int i = 0;
  std::string word = "kept";
  EXPECT_EQ(readFloatAnswer(f), AnswerStatus::EndOfInput);
  EXPECT_EQ(readDoubleAnswer(d), AnswerStatus::EndOfInput);
  EXPECT_EQ(readIntAnswer(i), AnswerStatus::EndOfInput);
  EXPECT_EQ(readWordAnswer(word, 63), AnswerStatus::EndOfInput);
  EXPECT_EQ(word, "kept");
}

TEST_F(ConsoleInput, DoubleAnswerReadsFullPrecision) {
  feed("0.1\n");
  double d = 0;
  EXPECT_EQ(readDoubleAnswer(d), AnswerStatus::Ok);
  EXPECT_EQ(d, 0.1);
}

TEST_F(ConsoleInput, WordIsBoundedAndTheRestStaysPending) {
  feed(std::string(70, 'y') + "\n");
  std::string word;
  EXPECT_EQ(readWordAnswer(word, 63), AnswerStatus::Ok);
  EXPECT_EQ(word, std::string(63, 'y'));
  EXPECT_EQ(rest(), std::string(7, 'y') + "\n");
}

TEST_F(ConsoleInput, SingleKeyDiscardsOneCharacterThenAnswers) {
  feed("\ny\ny");
  EXPECT_EQ(readSingleKey('n'), 'y');  // the pending line end is discarded
  EXPECT_EQ(readSingleKey('n'), 'y');  // the typed y is discarded, the next y answers
  EXPECT_EQ(readSingleKey('0'), '0');  // end of input takes the finishing answer
}

TEST_F(ConsoleInput, SingleKeyAtEndOfInputAfterTheDiscardedCharacter) {
  feed("\n");
  EXPECT_EQ(readSingleKey('y'), 'y');
}

TEST_F(ConsoleInput, ConfirmationReadsItsCountAndStopsAtEndOfInput) {
  feed("\n\nx");
  EXPECT_TRUE(readConfirmation(2));
  EXPECT_FALSE(readConfirmation(2));
  EXPECT_FALSE(readConfirmation(1));
}

}  // namespace
}  // namespace designopt
