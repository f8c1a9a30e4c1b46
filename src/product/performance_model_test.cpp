#include "product/performance_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "fixtures/test_designs.h"
#include "product/product_record.h"

namespace designopt {
namespace {

// Runs the model on a fresh record with the given starting flow coefficient and
// returns what it printed.
std::string model(double length, double pressure, double width, double flowCoefficient = 0) {
  productSpec = ProductSpec{};
  productSpec.requiredCfm = 100;
  productSpec.flowCoefficient = flowCoefficient;
  ::testing::internal::CaptureStdout();
  predictPerformance(length, pressure, width);
  return ::testing::internal::GetCapturedStdout();
}

TEST(PerformanceModel, WorkedExamples) {
  struct Case {
    double length, pressure, width;
    const char* flowCoefficient;
    const char* capacity;
    const char* nc;
  };
  const Case cases[] = {
      {48, 0.1, 2, "8.137162", "101.258648", "21.647218"},
      {36, 0.05, 3, "12.394093", "131.196280", "20.847219"},
  };
  for (const Case& c : cases) {
    const std::string printed = model(c.length, c.pressure, c.width);
    EXPECT_EQ(sixDecimals(productSpec.flowCoefficient), c.flowCoefficient);
    EXPECT_EQ(sixDecimals(productSpec.capacityCfm), c.capacity);
    EXPECT_EQ(sixDecimals(productSpec.predictedNC), c.nc);
    // Under "Vel" stands the required air supply.
    EXPECT_EQ(printed, std::string(" Vel 100.00 NC ") + c.nc + "\n");
  }
}

TEST(PerformanceModel, OnlyAnExactlyTabulatedWidthSetsTheFlowCoefficient) {
  model(48, 0.1, 2.5, 1.0);
  EXPECT_EQ(productSpec.flowCoefficient, 2.4671 * std::log(0.1) + 16.837);

  const double kept = 8.137162;
  for (double width : {2.2, 2.50001}) {
    model(48, 0.1, width, kept);
    EXPECT_EQ(productSpec.flowCoefficient, kept) << width;
    EXPECT_EQ(productSpec.capacityCfm, grilleCapacity(48, width, kept)) << width;
  }

  // Before any tabulated width has been modelled the coefficient is 0.
  model(48, 0.1, 2.2);
  EXPECT_EQ(productSpec.flowCoefficient, 0.0);
  EXPECT_EQ(productSpec.capacityCfm, (0.3639 * (2.2 * 2.2) + 12.341 * 2.2 - 8.9601) * 48 *
                                         0.08333333333333333);
}

TEST(PerformanceModel, NonPositiveInputsGiveIeeeResultsNotACrash) {
  EXPECT_EQ(model(0, 0.1, 2), " Vel 100.00 NC -inf\n");
  EXPECT_EQ(productSpec.capacityCfm, 0.0);
  model(48, -0.1, 2);
  EXPECT_TRUE(std::isnan(productSpec.flowCoefficient));
  EXPECT_TRUE(std::isnan(productSpec.predictedNC));
}

// The noise criterion keeps the pressure's power and the width's logarithm between
// calls: in any order of arguments it is bit for bit the formula taken afresh.
TEST(PerformanceModel, NoiseCriterionIsTheFormulaWhateverCameBefore) {
  const double pressures[] = {0.1, 0.25, 0.1, -0.0, 0.0, NAN, 0.1};
  const double widths[] = {2.0, 2.0, 3.5, 3.5, 2.0, 2.0};
  const double lengths[] = {48.0, 17.25, 96.0};
  for (double p : pressures) {
    for (double w : widths) {
      for (double l : lengths) {
        const double direct = 13.922 * std::pow(p, 0.3234) + (4.6011 * std::log(l) - 17.595) +
                              (4.566 * std::log(w) + 11.654);
        const double kept = noiseCriterion(l, p, w);
        if (std::isnan(direct)) {
          EXPECT_TRUE(std::isnan(kept)) << p << " " << w << " " << l;
        } else {
          EXPECT_EQ(kept, direct) << p << " " << w << " " << l;
        }
      }
    }
  }
}

}  // namespace
}  // namespace designopt
