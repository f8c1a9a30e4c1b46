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
