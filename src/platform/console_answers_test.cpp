#include "platform/console_answers.h"

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
