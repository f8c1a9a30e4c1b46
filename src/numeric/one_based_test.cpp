#include "numeric/one_based.h"

#include <gtest/gtest.h>

namespace designopt {
namespace {

TEST(OneBasedVector, SpareElementAndRangeAreConsecutive) {
  DVector v = dvector(1, 4);
  for (int i = 0; i <= 4; ++i) v[i] = i * 1.5;
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(v.data()[i], i * 1.5);
  EXPECT_EQ(&v[4] - &v[0], 4);
}

TEST(OneBasedVector, EmptyRangeHoldsOnlyTheSpareElement) {
  IVector v = ivector(1, 0);
  v[0] = 42;
  EXPECT_EQ(v[0], 42);
  releaseIVector(v, 1, 7);  // a different upper bound releases the same block
  EXPECT_FALSE(v.allocated());
}

TEST(OneBasedMatrix, RowsLieOneAfterAnotherInOneBlock) {
  DMatrix m = matrix(1, 3, 1, 2);
  double value = 0;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 2; ++j) m[i][j] = ++value;
  EXPECT_EQ(&m[2][1], &m[1][2] + 1);
  EXPECT_EQ(&m[3][2], m.block() + 6);  // the last element of the data block
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(m.block()[k], k);
}

TEST(OneBasedMatrix, ZeroRowsOrColumnsAllocateAndRelease) {
  DMatrix noRows = matrix(1, 0, 1, 3);
  IMatrix noColumns = intMatrix(1, 2, 1, 0);
  EXPECT_TRUE(noRows.allocated());
  EXPECT_TRUE(noColumns.allocated());
  releaseMatrix(noRows, 1, 0, 1, 3);
  releaseIntMatrix(noColumns, 1, 2, 1, 0);
}

TEST(NumericFatalDeathTest, WritesThreeLinesOnStandardErrorAndExitsWithOne) {
  EXPECT_EXIT(numericFatal("no convergence in 30 svdcmp iterations"),
              ::testing::ExitedWithCode(1),
              "^Numeric run-time error\\.\\.\\.\nno convergence in 30 svdcmp "
              "iterations\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

void* failingAllocator(std::size_t) { return nullptr; }

TEST(NumericFatalDeathTest, AllocationFailuresNameTheirRoutine) {
  struct Case {
    void (*allocate)();
    const char* message;
  };
  const Case cases[] = {
      {[] { dvector(1, 3); }, "allocation failure in dvector\\(\\)"},
      {[] { ivector(1, 3); }, "allocation failure in ivector\\(\\)"},
      {[] { matrix(1, 3, 1, 3); }, "allocation failure 1 in matrix\\(\\)"},
      {[] { intMatrix(1, 3, 1, 3); }, "allocation failure 1 in matrix\\(\\)"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(
        {
          setArrayAllocatorForTesting(failingAllocator);
          c.allocate();
        },
        ::testing::ExitedWithCode(1), c.message);
  }
}

int allocationsBeforeFailure = 0;
void* failSecondAllocation(std::size_t bytes) {
  return allocationsBeforeFailure-- > 0 ? std::malloc(bytes) : nullptr;
}

TEST(NumericFatalDeathTest, MatrixDataBlockFailure) {
  EXPECT_EXIT(
      {
        allocationsBeforeFailure = 1;
        setArrayAllocatorForTesting(failSecondAllocation);
        matrix(1, 2, 1, 2);
      },
      ::testing::ExitedWithCode(1), "allocation failure 2 in matrix\\(\\)");
}

}  // namespace
}  // namespace designopt
