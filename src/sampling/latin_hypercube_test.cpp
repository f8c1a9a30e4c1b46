// Latin hypercube designs must be repeatable from their seed and keep exactly one
// point in each stratum of every variable.
#include "sampling/latin_hypercube.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "random/random_generators.h"

namespace designopt {
namespace {

class LatinHypercubeTest : public ::testing::Test {
 protected:
  void SetUp() override { resetGeneratorsForTesting(); }
};

std::vector<double> designValues(const DMatrix& design, int nVar, int nPoints) {
  std::vector<double> values;
  for (int p = 1; p <= nPoints; ++p)
    for (int v = 1; v <= nVar; ++v) values.push_back(design[p][v]);
  return values;
}

TEST_F(LatinHypercubeTest, PermutationOfTenFromSeedZero) {
  IVector perm = ivector(1, 10);
  std::int32_t seed = 0;
  randomPermutation(10, perm, seed);
  const std::int32_t expected[] = {2, 8, 4, 6, 9, 3, 5, 1, 10, 7};
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(perm[i], expected[i - 1]) << "entry " << i;
}

TEST_F(LatinHypercubeTest, DesignFromSeedZeroBeginsWithTheKnownPoint) {
  DMatrix design = matrix(1, 10, 1, 3);
  std::int32_t seed = 0;
  latinHypercube(3, 10, design, seed);
  EXPECT_EQ(design[1][1], 1.9654278894725385);
  EXPECT_EQ(design[1][2], 0.6809670588378641);
  EXPECT_EQ(design[1][3], 9.563588594348909);
}

TEST_F(LatinHypercubeTest, EveryStratumHoldsOnePointPerVariable) {
  const int nVar = 4;
  const int nPoints = 15;
  DMatrix design = matrix(1, nPoints, 1, nVar);
  std::int32_t seed = -11;
  latinHypercube(nVar, nPoints, design, seed);
  for (int v = 1; v <= nVar; ++v) {
    std::vector<int> pointsInStratum(nPoints + 1, 0);
    for (int p = 1; p <= nPoints; ++p) {
      const double value = design[p][v];
      const int stratum = static_cast<int>(std::floor(value)) + 1;
      ASSERT_GE(stratum, 1);
      ASSERT_LE(stratum, nPoints);
      EXPECT_GT(value, stratum - 1);  // never on a stratum boundary
      ++pointsInStratum[stratum];
    }
    for (int s = 1; s <= nPoints; ++s) EXPECT_EQ(pointsInStratum[s], 1) << "variable " << v;
  }
}

TEST_F(LatinHypercubeTest, ConsumesTwoDeviatesPerValue) {
  // The seed variable's path depends only on how many deviates were drawn.
  DMatrix design = matrix(1, 10, 1, 3);
  std::int32_t seed = 0;
  latinHypercube(3, 10, design, seed);

  std::int32_t counted = 0;
  for (int i = 0; i < 2 * 3 * 10; ++i) shuffledUniform(counted);
  EXPECT_EQ(seed, counted);
}

TEST_F(LatinHypercubeTest, SinglePointLiesInsideTheUnitInterval) {
  DMatrix design = matrix(1, 1, 1, 3);
  std::int32_t seed = 0;
  latinHypercube(3, 1, design, seed);
  for (int v = 1; v <= 3; ++v) {
    EXPECT_GT(design[1][v], 0.0);
    EXPECT_LT(design[1][v], 1.0);
  }
}

TEST_F(LatinHypercubeTest, NoPointsDrawsNothing) {
  DMatrix design = matrix(1, 0, 1, 3);
  for (std::int32_t start : {0, -4, 17}) {
    std::int32_t seed = start;
    latinHypercube(3, 0, design, seed);
    EXPECT_EQ(seed, start);
  }
  // The shared table was never filled: a fresh stream still starts as in a fresh process.
  std::int32_t fresh = 5;
  EXPECT_EQ(shuffledUniform(fresh), 0.41599935685098144);
}

TEST_F(LatinHypercubeTest, SameNegativeSeedGivesTheSameDesignWhateverCameBefore) {
  DMatrix first = matrix(1, 6, 1, 3);
  std::int32_t seed = -9;
  latinHypercube(3, 6, first, seed);

  std::int32_t other = 0;
  for (int i = 0; i < 37; ++i) shuffledUniform(other);

  DMatrix second = matrix(1, 6, 1, 3);
  seed = -9;
  latinHypercube(3, 6, second, seed);
  EXPECT_EQ(designValues(second, 3, 6), designValues(first, 3, 6));
}

}  // namespace
}  // namespace designopt
