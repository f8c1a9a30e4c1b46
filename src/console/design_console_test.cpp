// The length bands, the problem's bounds and the performance verdict.
#include "console/design_console.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "product/product_record.h"

namespace designopt {
namespace {

const char* const kInvalidLength = "\n  Invalid Length Value!!  Re-enter Number...\n\n";

TEST(TubeNumberForLength, BandLimitsBelongToTheirBand) {
  const struct {
    float length;
    int tube;
  } cases[] = {{4, 2},  {12, 2}, {14, 3}, {24, 3}, {26, 4}, {36, 4}, {38, 5}, {48, 5},
               {50, 6}, {60, 6}, {62, 7}, {72, 7}, {74, 8}, {84, 8}, {86, 9}, {96, 9},
               {8.5f, 2}, {47.99f, 5}};
  for (const auto& c : cases) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(tubeNumberForLength(c.length), c.tube) << c.length;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.length;
  }
}

TEST(TubeNumberForLength, LengthsOutsideTheBandsAreInvalid) {
  for (float length : {3.9f, 12.5f, 13.0f, 49.0f, 96.5f, 0.0f, -48.0f, 24.001f, 1e30f,
                       std::nanf(""), INFINITY}) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(tubeNumberForLength(length), 0) << length;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kInvalidLength) << length;
  }
}

// The bounds as "input.dat" carries them, with three decimals.
std::string boundsText(float length, float tolerance, double roomTemperature) {
  double lower[3];
  double upper[3];
  problemRanges(length, tolerance, roomTemperature, lower, upper);
  char text[128];
  std::snprintf(text, sizeof text, "%6.3f %6.3f\n %6.3f %6.3f\n %6.3f %6.3f\n", lower[0],
                upper[0], lower[1], upper[1], lower[2], upper[2]);
  return text;
}

TEST(ProblemRanges, LengthToleranceAndTemperatureRanges) {
  EXPECT_EQ(boundsText(48, 0.005f, 70.0), "24.000 64.000\n  0.004  0.007\n 70.000 75.000\n");
  double lower[3];
  double upper[3];
  problemRanges(48, 0.005f, 70.0, lower, upper);
  EXPECT_EQ(upper[0], (4.0 / 3.0) * 48.0);
  EXPECT_EQ(lower[1], 0.8 * static_cast<double>(0.005f));  // from the float answer
  EXPECT_EQ(upper[2], 75.0);
}

TEST(PerformanceVerdict, SatisfactoryOnlyWithinBothMargins) {
  EXPECT_TRUE(performanceSatisfactory(0.0, -0.5));
  EXPECT_TRUE(performanceSatisfactory(3.0, 20.0));
  EXPECT_FALSE(performanceSatisfactory(-0.0001, 100.0));
  EXPECT_FALSE(performanceSatisfactory(5.0, -0.5001));
  EXPECT_FALSE(performanceSatisfactory(std::nan(""), 0.0));
  EXPECT_FALSE(performanceSatisfactory(0.0, std::nan("")));
}

TEST(PerformanceVerdict, PrintsTheMarginsOfTheLastEvaluation) {
  const ProductSpec saved = productSpec;
  productSpec.maxNC = 30;
  productSpec.predictedNC = 30;
  productSpec.requiredCfm = 100;
  productSpec.capacityCfm = 100.5;
  ::testing::internal::CaptureStdout();
  printPerformanceVerdict();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            " Check NC = 0.0000 Velocity = 0.5000\t Performance satisfactory!!\n");

  productSpec.predictedNC = 31.25;
  productSpec.capacityCfm = 90;
  ::testing::internal::CaptureStdout();
  printPerformanceVerdict();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            " Check NC = -1.2500 Velocity = 10.0000\t Performance not satisfy!!\n");
  productSpec = saved;
}

}  // namespace
}  // namespace designopt
