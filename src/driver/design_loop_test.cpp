// The initial design: Latin hypercube points mapped into the ranges and priced in
// order.
#include "driver/design_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "driver/refinement_cycles.h"
#include "random/random_generators.h"
#include "sampling/latin_hypercube.h"

namespace designopt {
namespace {

std::vector<std::vector<double>> pricedPoints;

double recordingObjective(const DVector& x) {
  pricedPoints.push_back({x[1], x[2], x[3]});
  return 100.0 + static_cast<double>(pricedPoints.size());
}

TEST(InitialDesign, MapsTheLatinHypercubeIntoTheRangesAndPricesEveryPointInOrder) {
  setObjectiveForTesting(recordingObjective);
  pricedPoints.clear();

  DVector lower = dvector(1, 3), upper = dvector(1, 3);
  const double lo[3] = {24.0, 0.004, 70.0};
  const double hi[3] = {64.0, 0.007, 75.0};
  for (int j = 1; j <= 3; ++j) {
    lower[j] = lo[j - 1];
    upper[j] = hi[j - 1];
  }
  DMatrix points = matrix(1, 250, 1, 3);
  DVector values = dvector(1, 250);

  resetGeneratorsForTesting();
  std::int32_t seed = 0;
  const int m = initialDesign(3, lower, upper, points, values, seed);
  setObjectiveForTesting(nullptr);
  ASSERT_EQ(m, 10);

  // The same design drawn directly from a fresh generator state.
  resetGeneratorsForTesting();
  std::int32_t directSeed = 0;
  DMatrix design = matrix(1, 10, 1, 3);
  latinHypercube(3, 10, design, directSeed);
  EXPECT_EQ(seed, directSeed);

  ASSERT_EQ(pricedPoints.size(), 10u);
  for (int i = 1; i <= 10; ++i) {
    for (int j = 1; j <= 3; ++j) {
      double e = design[i][j] * (1.0 / 10);
      e = lower[j] + (upper[j] - lower[j]) * e;
      EXPECT_EQ(points[i][j], e) << i << "," << j;
      EXPECT_EQ(pricedPoints[i - 1][j - 1], e);
      EXPECT_GT(points[i][j], lower[j]);
      EXPECT_LT(points[i][j], upper[j]);
    }
    EXPECT_EQ(values[i], 100.0 + i);
  }
  // The first point of a fresh process: strata 2, 1 and 10.
  EXPECT_DOUBLE_EQ(points[1][1], 24.0 + 40.0 * (1.9654278894725385 / 10));
  EXPECT_DOUBLE_EQ(points[1][2], 0.004 + 0.003 * (0.6809670588378641 / 10));
  EXPECT_DOUBLE_EQ(points[1][3], 70.0 + 5.0 * (9.563588594348909 / 10));
}

TEST(InitialDesign, PointCountFollowsTheCoefficientCount) {
  setObjectiveForTesting([](const DVector&) { return 1.0; });
  for (int n : {1, 2, 4}) {
    DVector lower = dvector(1, n), upper = dvector(1, n);
    for (int j = 1; j <= n; ++j) {
      lower[j] = 0.0;
      upper[j] = 1.0;
    }
    DMatrix points = matrix(1, 250, 1, n);
    DVector values = dvector(1, 250);
    std::int32_t seed = 0;
    EXPECT_EQ(initialDesign(n, lower, upper, points, values, seed), (n + 1) * (n + 2) / 2);
  }
  setObjectiveForTesting(nullptr);
}

}  // namespace
}  // namespace designopt
