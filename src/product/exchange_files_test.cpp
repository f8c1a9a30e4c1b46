#include "product/exchange_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <string>

#include "fixtures/exchange_fixture.h"
#include "fixtures/product_test_support.h"
#include "platform/date_text.h"
#include "product/product_record.h"

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
  // The very bytes the built-in cost workbook's tests read as designopt's file.
  EXPECT_EQ(readFile("outexcel.dat"), kExchange48By2);
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
    double cost = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(readWorkbookCost(cost)) << c.text;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.text;
    EXPECT_EQ(cost, c.cost) << c.text;
  }
}

TEST_F(CostFile, MissingFileOrNoCostIsSaidAndGivesNoCost) {
  double cost = 17;
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(readWorkbookCost(cost));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Data file ProIn.dat not found !\n");
  EXPECT_EQ(cost, 17);

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
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(readWorkbookCost(cost)) << text;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Data file ProIn.dat holds no cost !\n")
        << text;
    EXPECT_EQ(cost, 17) << text;
  }
}

// Before every pricing the old cost file goes, so no cost can outlive its pricing.
// What C remove() cannot remove (a directory with something in it) is said.
TEST_F(CostFile, StaleCostFileIsRemovedBeforeAPricing) {
  struct Case {
    const char* what;
    void (*make)();
    bool removed;
  };
  const Case cases[] = {
      {"no file", [] {}, true},
      {"a cost file", [] { std::fclose(std::fopen("ProIn.dat", "w")); }, true},
      {"an empty directory", [] { mkdir("ProIn.dat", 0755); }, true},
      {"a directory with a file",
       [] {
         mkdir("ProIn.dat", 0755);
         std::fclose(std::fopen("ProIn.dat/old", "w"));
       },
       false},
  };
  for (const Case& c : cases) {
    c.make();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(removeStaleCostFile(), c.removed) << c.what;
    const std::string out = ::testing::internal::GetCapturedStdout();
    if (c.removed) {
      EXPECT_EQ(out, "") << c.what;
      EXPECT_NE(access("ProIn.dat", F_OK), 0) << c.what;
    } else {
      EXPECT_EQ(out, "Cannot replace file: ProIn.dat!\n") << c.what;
      std::remove("ProIn.dat/old");
      std::remove("ProIn.dat");
    }
  }
}

}  // namespace
}  // namespace designopt
