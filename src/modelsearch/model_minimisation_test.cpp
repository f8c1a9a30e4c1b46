// Tests of the two model searches: the box penalty, the minimum of a convex model, and
// the constrained optimum of a model that keeps falling beyond the box.
#include "modelsearch/model_minimisation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fixtures/test_designs.h"
#include "numeric/quad_model.h"
#include "product/product_record.h"

namespace designopt {
namespace {

// A 3-variable model and a design whose constraints hold for lengths of about 47.4 to
// 99 inches and Tc from 72.1 to 75.1 (room temperature 70).
class ModelMinimisationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    productSpec = workedGrilleDesign();
    for (int i = 1; i <= 10; ++i) coefs[i] = 0;
    lower[1] = 40, lower[2] = 0.8, lower[3] = 70;
    upper[1] = 80, upper[2] = 1.2, upper[3] = 75;
  }
  void TearDown() override {
    modelContext = ModelContext{};
    productSpec = ProductSpec{};
  }

  DVector coefs = dvector(1, 10);
  DVector lower = dvector(1, 3);
  DVector upper = dvector(1, 3);
};

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

TEST_F(ModelMinimisationTest, BoxPenaltyWeighsTheSumOfSquaredExcursions) {
  modelContext.n = 3;
  modelContext.coefs = &coefs;
  struct Case {
    double x[4];  // x[0] is the spare element, never read
    double penalty;
  };
  const Case cases[] = {
      {{1e9, 0.5, -0.5, 0.0}, 0.0},
      {{0.0, 1.0, -1.0, 1.0}, 0.0},
      {{0.0, 1.5, -1.25, 0.0}, 1e8 * (0.25 + 0.0625)},
      {{0.0, 0.0, 0.0, -1.2}, 1e8 * ((-1 - -1.2) * (-1 - -1.2))},
      {{0.0, 1.01, 0.0, 0.0}, 1e8 * ((1.01 - 1) * (1.01 - 1))},
  };
  for (const Case& c : cases) EXPECT_EQ(boxPenalty(c.x), c.penalty) << c.x[1] << " " << c.x[3];
  EXPECT_NEAR(boxPenalty(cases[4].x), 10000.0, 1e-6);

  coefs[1] = 2.5;
  coefs[2] = 1.0;
  EXPECT_EQ(modelCost(cases[2].x), cases[2].penalty + (2.5 + 1.5));
}

// The cut energy's penalty of a point with one coordinate moved to the root, taken
// without copying the point: bit for bit the penalty of the moved point.
TEST_F(ModelMinimisationTest, BoxPenaltyWithACoordinateMovedIsThatOfTheMovedPoint) {
  modelContext.n = 3;
  modelContext.coefs = &coefs;
  const double points[][4] = {{0.0, 0.5, -0.5, 0.0}, {7.0, 1.5, -1.25, 0.3},
                              {0.0, -3.0, 2.0, 1.0000001}};
  const double roots[] = {0.0, 1.0, -1.0, 1.3, -2.7, 1e300, -0.9999};
  for (const auto& point : points) {
    for (int i = 1; i <= 3; ++i) {
      for (double r : roots) {
        double moved[4];
        for (int k = 0; k < 4; ++k) moved[k] = point[k];
        moved[i] = r;
        EXPECT_EQ(boxPenaltyWithCoordinate(point, 3, i, r), boxPenalty(moved))
            << "i = " << i << ", r = " << r;
      }
    }
  }
}

TEST_F(ModelMinimisationTest, MinimiseModelFindsTheMinimumOfAConvexModelInsideTheBox) {
  // (x1 - 0.3)^2 + (x2 + 0.2)^2 + x3^2
  coefs[1] = 0.13;
  coefs[2] = -0.6;
  coefs[3] = 0.4;
  coefs[5] = coefs[6] = coefs[7] = 1;

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const double minimum = minimiseModel(3, coefs);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_NEAR(minimum, 0.0, 1e-4);
  EXPECT_GE(minimum, 0.0);
  EXPECT_EQ(out, "\n\n ---- Looking for the minimum of the fitted model ----\n");
  EXPECT_EQ(err, formatted(" The model min = %lf\n", minimum));
  // The cutting searches that follow read the model from here.
  EXPECT_EQ(modelContext.n, 3);
  EXPECT_EQ(modelContext.coefs, &coefs);
  EXPECT_EQ(modelContext.halfWidths, nullptr);

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  EXPECT_EQ(minimiseModel(3, coefs), minimum);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
}

TEST_F(ModelMinimisationTest, ConstrainedOptimumOfAFallingModelLiesAtMostSlightlyOutside) {
  // -x1 - x2 + x3 falls without end towards long lengths, large tolerances and low Tc;
  // the box stops the first two at their upper bounds and the draft band stops Tc at
  // 72.1 (normalised -0.16).
  coefs[2] = -1;
  coefs[3] = -1;
  coefs[4] = 1;
  DVector best = dvector(1, 3);
  DVector again = dvector(1, 3);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const double value = optimiseConstrained(3, lower, upper, coefs, best);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(out, "\n\n ======  Global Optimization with Constraints ===== \n");
  std::string expected = "Best minimum at: ";
  for (int i = 1; i <= 3; ++i) expected += formatted("%g\t", best[i]);
  expected += formatted(" with fOpt = %lf\n", value);
  EXPECT_EQ(err, expected);
  EXPECT_EQ(modelContext.halfWidths, nullptr);
  EXPECT_EQ(modelContext.centres, nullptr);

  // Excursions in normalised units: beyond the box at most slightly, and close to it.
  const double z1 = (best[1] - 60) / 20;
  const double z2 = (best[2] - 1.0) / 0.2;
  const double z3 = (best[3] - 72.5) / 2.5;
  EXPECT_LT(z1 - 1, 0.01);
  EXPECT_GT(z1, 0.99);
  EXPECT_LT(z2 - 1, 0.01);
  EXPECT_GT(z2, 0.99);
  EXPECT_NEAR(z3, -0.16, 0.01);
  EXPECT_NEAR(value, -2.16, 0.02);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(optimiseConstrained(3, lower, upper, coefs, again), value);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(again[i], best[i]) << i;
}

}  // namespace
}  // namespace designopt
