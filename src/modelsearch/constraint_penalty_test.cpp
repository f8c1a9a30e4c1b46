// The constrained search's penalty on worked designs: constraint and box excursions,
// the model value added, and the misuse outside the search window.
#include "modelsearch/constraint_penalty.h"

#include <gtest/gtest.h>

#include "fixtures/test_designs.h"
#include "numeric/one_based.h"
#include "numeric/quad_model.h"
#include "product/constraints.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {
namespace {

// The worked design: width 2, pressure 0.1, required 100 CFM, maximum NC 25, room 70,
// with the flow coefficient its first pricing leaves behind.
class ConstraintPenalty : public ::testing::Test {
 protected:
  void SetUp() override { productSpec = workedGrilleDesign(); }
  void TearDown() override { modelContext = ModelContext{}; }

  // Constraint 1 at (length, tolerance 0.008, Tc).
  static double capacityConstraintAt(double length, double tc) {
    const double y[4] = {0, length, 0.008, tc};
    DVector g = dvector(1, 4);
    int neq = -1;
    int ncon = -1;
    evaluateConstraints(y, g, neq, ncon);
    return g[1];
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

TEST_F(ConstraintPenalty, SmallExcursionIsFeasibleYetPenalised) {
  productSpec.requiredCfm = grilleCapacity(48, 2, productSpec.flowCoefficient) + 5e-7;
  const double g1 = capacityConstraintAt(48, 73);
  EXPECT_NEAR(g1, 5e-7, 1e-13);
  EXPECT_TRUE(feasibleAt(48, 73));
  openWindow(56, 8, 73.5, 1);  // x1 = -1 is length 48
  EXPECT_EQ(penaltyAt(-1, 0, -0.5), 100000000.0 * (g1 * g1));
  EXPECT_NEAR(penaltyAt(-1, 0, -0.5), 2.5e-5, 1e-11);

  productSpec.requiredCfm += 1e-6;  // g1 about 1.5e-6
  EXPECT_FALSE(feasibleAt(48, 73));
}

TEST_F(ConstraintPenalty, PenaltyOfConstraintAndBoxExcursions) {
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

TEST_F(ConstraintPenalty, PenalisedModelCostAddsTheModelValue) {
  openWindow(56, 8, 73.5, 1);
  coefs_[1] = 5;
  coefs_[2] = 1;
  const double x[4] = {0, 1.2, 0, 0};
  EXPECT_EQ(penalisedModelCost(x), constraintPenalty(x) + 6.2);
}

TEST_F(ConstraintPenalty, PenaltyOutsideTheConstrainedSearchEndsTheRun) {
  const double x[4] = {0, 0, 0, 0};
  modelContext.n = 3;
  EXPECT_EXIT(constraintPenalty(x), ::testing::ExitedWithCode(1),
              "constraintPenalty called outside the constrained search");
  openWindow(56, 8, 73.5, 1);
  modelContext.n = 4;
  EXPECT_EXIT(constraintPenalty(x), ::testing::ExitedWithCode(1), "for 4 variables");
}

}  // namespace
}  // namespace designopt
