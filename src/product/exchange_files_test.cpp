#include "product/exchange_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <string>

#include "platform/date_text.h"
#include "product/product_record.h"
#include "product/product_test_support.h"

namespace designopt {
namespace {

TEST(PartDimensions, FollowTheLengthAndWidth) {
  productSpec = ProductSpec{};
  productSpec.grilleWidth = 2;
  productSpec.tubeNumber = 5;
  setPartDimensions(48);
  EXPECT_EQ(productSpec.frameCorner, 3.125);
  EXPECT_EQ(productSpec.frameSide, 49.125);
  EXPECT_EQ(productSpec.mandrelBar, 48);
  EXPECT_EQ(productSpec.supportBar, 1.5);
  EXPECT_EQ(productSpec.tube, 1.625);
  EXPECT_EQ(productSpec.clip, 10);
  EXPECT_EQ(productSpec.barNumber, 4);
}

TEST(PartDimensions, BarNumberTruncatesAndNeverConvertsOutOfRange) {
  struct Case {
    double width;
    int bars;
  };
  const Case cases[] = {
      {1.5, 2}, {2, 4}, {2.5, 6}, {3, 8}, {3.5, 10}, {4, 12}, {5, 16}, {6, 20},
      {4.2, 12},                       // 12.8 truncated
      {0.6, -1},                       // -1.6 truncated toward zero
      {536870912.875, INT_MAX},        // 4w - 4 = 2147483647.5, still converts
      {536870913, INT_MIN},            // 4w - 4 = 2147483648, beyond the int range
      {-536870910.9375, INT_MIN + 1},  // 4w - 4 = -2147483647.75
      {-536870911.25, INT_MIN},        // 4w - 4 = -2147483649
      {1e300, INT_MIN},
      {-1e300, INT_MIN},
      {std::nan(""), INT_MIN},
      {HUGE_VAL, INT_MIN},
  };
  for (const Case& c : cases) {
    productSpec = ProductSpec{};
    productSpec.grilleWidth = c.width;
    setPartDimensions(48);
    EXPECT_EQ(productSpec.barNumber, c.bars) << "width " << c.width;
  }
}

class ExchangeFile : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    productSpec.grilleWidth = 2;
    productSpec.tubeNumber = 5;
    productSpec.thickness = 0.125;
    productSpec.tolerance = 0.008;
  }
};

TEST_F(ExchangeFile, HoldsTheWorkedExampleByteForByte) {
  setPartDimensions(48);
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(writeExchangeFile("March 05 03"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(readFile("outexcel.dat"),
            " March 05 03\n\n"
            " Pro/E To Excel\n\n"
            " TubeNumber\t\t 5\n"
            " thickness\t\t   0.125\n"
            " tolerance\t\t   0.008\n\n"
            " FrameCorner\t\t   3.125\n"
            " FrameSide\t\t  49.125\n"
            " MandrelBar\t\t  48.000\n"
            " SupportBar\t\t   1.500\n"
            " Tube\t\t   1.625\n"
            " Clip\t\t 10\n"
            " BarNumber\t\t 4\n\n");
}

TEST_F(ExchangeFile, IsDatedTodayAndOverwritten) {
  writeFile("outexcel.dat", std::string(2000, '#'));
  setPartDimensions(1000);
  EXPECT_TRUE(writeExchangeFile());
  const std::string text = readFile("outexcel.dat");
  EXPECT_EQ(text.substr(0, text.find('\n') + 2), " " + localDateText() + "\n\n");
  // A value of 1000 or more widens its field rather than losing digits.
  EXPECT_NE(text.find(" FrameSide\t\t 1001.125\n MandrelBar\t\t 1000.000\n"), std::string::npos);
  EXPECT_EQ(text.find('#'), std::string::npos);
}

TEST_F(ExchangeFile, ThatCannotBeCreatedIsReportedWithoutANewline) {
  ASSERT_EQ(mkdir("outexcel.dat", 0755), 0);  // a directory cannot be opened for writing
  setPartDimensions(48);
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(writeExchangeFile("March 05 03"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot find file: outexcel.dat!");
}

class CostFile : public ScratchDirectoryTest {};

TEST_F(CostFile, CostIsTheFirstNumberAfterTheFirstLine) {
  struct Case {
    std::string text;
    double cost;
  };
  const Case cases[] = {
      {"Cost of the design\n  123.45 other text\n", 123.44999694824219},
      {"heading\n\n   77.25\n88\n", 77.25},
      {"heading\n-5e2", -500},
      // Only 99 characters of a long first line are taken; its rest is searched.
      {std::string(99, 'h') + " 42.5\n7\n", 42.5},
  };
  for (const Case& c : cases) {
    writeFile("ProIn.dat", c.text);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readWorkbookCost(), c.cost) << c.text;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.text;
  }
}

// Runs readWorkbookCost with standard input at its end and the standard output in
// "out.txt" of the test's directory; the process must end with status 1.
#define EXPECT_COST_READ_ENDS_THE_RUN()                                 \
  EXPECT_EXIT(                                                          \
      {                                                                 \
        feedStandardInput("");                                          \
        std::freopen((directory_ + "/out.txt").c_str(), "w", stdout);   \
        readWorkbookCost();                                             \
      },                                                                \
      ::testing::ExitedWithCode(1), "")

TEST_F(CostFile, MissingFileAtEndOfInputEndsTheRun) {
  EXPECT_COST_READ_ENDS_THE_RUN();
  EXPECT_EQ(readFile("out.txt"),
            "Data file ProIn.dat not found !\n Press 'Enter' to read ProIn.dat again\n");
}

TEST_F(CostFile, FileWithoutACostAtEndOfInputEndsTheRun) {
  // A number that is not finite in single precision is no cost either.
  const std::string noCost[] = {"",
                                "Cost\n",
                                "Cost\n  none 12\n",
                                std::string(120, 'h') + " 5\n",
                                "Cost\nnan\n",
                                "Cost\n-inf 3\n",
                                "Cost\n1e39\n"};
  for (const std::string& text : noCost) {
    writeFile("ProIn.dat", text);
    EXPECT_COST_READ_ENDS_THE_RUN();
    EXPECT_EQ(readFile("out.txt"),
              "Data file ProIn.dat holds no cost !\n Press 'Enter' to read ProIn.dat again\n")
        << text;
  }
}

// The designer gets the workbook to write the file and presses Enter: the cost is
// then read. Runs in a child whose console is a pair of pipes, so that the file is
// written only once the first read has failed.
TEST_F(CostFile, IsReadAgainAfterEnter) {
  int toChild[2];
  int fromChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(fromChild), 0);
  std::fflush(stdout);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(20);  // a child stuck on a read ends instead of holding the test forever
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[0]);
    close(toChild[1]);
    close(fromChild[0]);
    close(fromChild[1]);
    clearerr(stdin);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const double cost = readWorkbookCost();
    std::printf("cost %.17g\n", cost);
    std::fflush(stdout);
    _exit(0);
  }
  close(toChild[0]);
  close(fromChild[1]);

  const std::string prompt = " Press 'Enter' to read ProIn.dat again\n";
  std::string output;
  char buffer[256];
  while (output.size() < prompt.size() ||
         output.compare(output.size() - prompt.size(), prompt.size(), prompt) != 0) {
    const ssize_t got = read(fromChild[0], buffer, sizeof buffer);
    if (got <= 0) break;
    output.append(buffer, static_cast<std::size_t>(got));
  }
  writeFile("ProIn.dat", "Cost\n 250.5\n");
  ASSERT_EQ(write(toChild[1], "\n", 1), 1);
  close(toChild[1]);
  for (ssize_t got; (got = read(fromChild[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(got));
  }
  close(fromChild[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(output, "Data file ProIn.dat not found !\n" + prompt + "cost 250.5\n");
}

}  // namespace
}  // namespace designopt
