#include "product/constraints.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "fixtures/test_designs.h"
#include "numeric/quad_model.h"
#include "product/evaluation_counters.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {
namespace {

// The worked design: width 2, pressure 0.1, required 100 CFM, maximum NC 25, room 70,
// with the flow coefficient its first pricing leaves behind.
class Constraints : public ::testing::Test {
 protected:
  void SetUp() override {
    productSpec = workedGrilleDesign();
  }
  void TearDown() override { modelContext = ModelContext{}; }

  // Constraint values at (length, tolerance 0.008, Tc).
  DVector constraintsAt(double length, double tc) {
    const double y[4] = {0, length, 0.008, tc};
    DVector g = dvector(1, 4);
    int neq = -1;
    int ncon = -1;
    evaluateConstraints(y, g, neq, ncon);
    EXPECT_EQ(neq, 0);
    EXPECT_EQ(ncon, 4);
    return g;
  }
  static bool feasibleAt(double length, double tc) {
    const double y[4] = {0, length, 0.008, tc};
    return isFeasible(y);
  }

  // Publishes the search window: length, tolerance and Tc ranges as centre, half-width.
  void openWindow(double lengthCentre, double lengthHalf, double tcCentre, double tcHalf) {
    halfWidths_ = dvector(1, 3);
    centres_ = dvector(1, 3);
    centres_[1] = lengthCentre;
    halfWidths_[1] = lengthHalf;
    centres_[2] = 0.008;
    halfWidths_[2] = 0.002;
    centres_[3] = tcCentre;
    halfWidths_[3] = tcHalf;
    coefs_ = dvector(1, coefficientCount(3));
    for (int i = 1; i <= coefficientCount(3); ++i) coefs_[i] = 0;
    modelContext.n = 3;
    modelContext.coefs = &coefs_;
    modelContext.halfWidths = &halfWidths_;
    modelContext.centres = &centres_;
  }
  static double penaltyAt(double x1, double x2, double x3) {
    const double x[4] = {0, x1, x2, x3};
    return constraintPenalty(x);
  }

  DVector halfWidths_;
  DVector centres_;
  DVector coefs_;
};

TEST_F(Constraints, WorkedValues) {
  const DVector g = constraintsAt(48, 73);
  EXPECT_EQ(sixDecimals(g[1]), "-1.258648");
  EXPECT_EQ(sixDecimals(g[2]), "-3.352782");
  EXPECT_DOUBLE_EQ(g[3], -2.1);  // TNc = -0.9
  EXPECT_DOUBLE_EQ(g[4], -0.9);
  EXPECT_TRUE(feasibleAt(48, 73));

  // Tc 71: TNc = 1.1, above the band.
  EXPECT_DOUBLE_EQ(constraintsAt(48, 71)[4], 1.1);
  EXPECT_FALSE(feasibleAt(48, 71));
  // Tc 76: TNc = -3.9, below the band.
  EXPECT_DOUBLE_EQ(constraintsAt(48, 76)[3], 0.9);
  EXPECT_FALSE(feasibleAt(48, 76));
  // Too short for the air supply; too long for the NC.
  EXPECT_FALSE(feasibleAt(46, 73));
  EXPECT_FALSE(feasibleAt(110, 73));
}

TEST_F(Constraints, SmallExcursionIsFeasibleYetPenalised) {
  productSpec.requiredCfm = grilleCapacity(48, 2, productSpec.flowCoefficient) + 5e-7;
  const double g1 = constraintsAt(48, 73)[1];
  EXPECT_NEAR(g1, 5e-7, 1e-13);
  EXPECT_TRUE(feasibleAt(48, 73));
  openWindow(56, 8, 73.5, 1);  // x1 = -1 is length 48
  EXPECT_EQ(penaltyAt(-1, 0, -0.5), 100000000.0 * (g1 * g1));
  EXPECT_NEAR(penaltyAt(-1, 0, -0.5), 2.5e-5, 1e-11);

  productSpec.requiredCfm += 1e-6;  // g1 about 1.5e-6
  EXPECT_FALSE(feasibleAt(48, 73));
}

TEST_F(Constraints, PenaltyOfConstraintAndBoxExcursions) {
  // Lengths 48..64 and Tc 72.5..74.5 are feasible throughout, corners included.
  openWindow(56, 8, 73.5, 1);
  for (double x1 : {-1.0, 1.0}) {
    for (double x2 : {-1.0, 1.0}) {
      for (double x3 : {-1.0, 1.0}) EXPECT_EQ(penaltyAt(x1, x2, x3), 0.0);
    }
  }
  EXPECT_DOUBLE_EQ(penaltyAt(1.2, 0, 0), 4e6);
  EXPECT_DOUBLE_EQ(penaltyAt(0, -1.2, 0), 4e6);
  EXPECT_DOUBLE_EQ(penaltyAt(1.2, -1.2, 0), 8e6);

  // Tc 71 at the centre: TNc = 1.1 is the only excursion.
  openWindow(56, 8, 71, 1);
  EXPECT_DOUBLE_EQ(penaltyAt(0, 0, 0), 1.21e8);
}

TEST_F(Constraints, PenalisedModelCostAddsTheModelValue) {
  openWindow(56, 8, 73.5, 1);
  coefs_[1] = 5;
  coefs_[2] = 1;
  const double x[4] = {0, 1.2, 0, 0};
  EXPECT_EQ(penalisedModelCost(x), constraintPenalty(x) + 6.2);
}

TEST_F(Constraints, PenaltyOutsideTheConstrainedSearchEndsTheRun) {
  const double x[4] = {0, 0, 0, 0};
  modelContext.n = 3;
  EXPECT_EXIT(constraintPenalty(x), ::testing::ExitedWithCode(1),
              "constraintPenalty called outside the constrained search");
  openWindow(56, 8, 73.5, 1);
  modelContext.n = 4;
  EXPECT_EXIT(constraintPenalty(x), ::testing::ExitedWithCode(1), "for 4 variables");
}

TEST_F(Constraints, BestFeasibleDesignImprovesOnlyOnAStrictlyLowerFeasibleValue) {
  DVector best = dvector(1, 3);
  double bestValue = 1e8;
  evaluationsToOptimum = 0;

  // Rows of (length, Tc) with their costs; tolerance 0.008 throughout.
  auto update = [&](std::initializer_list<std::array<double, 3>> rows, double optLength,
                    double optTc, double optValue) {
    const int m = static_cast<int>(rows.size());
    DMatrix points = matrix(1, m, 1, 3);
    DVector values = dvector(1, m);
    int k = 0;
    for (const auto& row : rows) {
      ++k;
      points[k][1] = row[0];
      points[k][2] = 0.008;
      points[k][3] = row[1];
      values[k] = row[2];
    }
    DVector optimum = dvector(1, 3);
    optimum[1] = optLength;
    optimum[2] = 0.008;
    optimum[3] = optTc;
    return updateBestFeasible(3, m, points, values, optimum, optValue, best, bestValue);
  };

  // Nothing feasible: nothing accepted, and the starting best stays.
  evaluationCount = 5;
  EXPECT_FALSE(update({{52, 71, 5}}, 49, 71, 3));
  EXPECT_EQ(bestValue, 1e8);

  // Of two feasible equal values the first wins; a cheaper infeasible point and a
  // cheaper infeasible optimum change nothing.
  evaluationCount = 7;
  EXPECT_TRUE(update({{48, 73, 10}, {50, 73, 10}, {52, 71, 5}}, 49, 71, 3));
  EXPECT_EQ(bestValue, 10);
  EXPECT_EQ(best[1], 48);
  EXPECT_EQ(best[3], 73);
  EXPECT_EQ(evaluationsToOptimum, 7);

  // An equal value in a later call, point or optimum, does not displace the best.
  evaluationCount = 9;
  EXPECT_FALSE(update({{54, 73, 10}}, 55, 74, 10));
  EXPECT_EQ(best[1], 48);
  EXPECT_EQ(evaluationsToOptimum, 7);

  // A feasible optimum strictly below every feasible point becomes the best.
  evaluationCount = 12;
  EXPECT_TRUE(update({{56, 73, 9.9}}, 57, 74, 9.5));
  EXPECT_EQ(bestValue, 9.5);
  EXPECT_EQ(best[1], 57);
  EXPECT_EQ(best[2], 0.008);
  EXPECT_EQ(best[3], 74);
  EXPECT_EQ(evaluationsToOptimum, 12);
}

}  // namespace
}  // namespace designopt
