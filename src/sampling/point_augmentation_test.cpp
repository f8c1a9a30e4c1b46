// Tests of the point augmentation: the unchanged-ranges branch, which points are kept,
// the strata that new points fill, and the working set's 250-point capacity. The
// pricing handed in is a stand-in that prices a design at its length, so a point's
// value is its own first coordinate.
#include "sampling/point_augmentation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "random/random_generators.h"

namespace designopt {
namespace {

constexpr int kVars = 3;
constexpr int kStrata = 10;  // coefficient count of the quadratic model in three variables

// Rows 1..250 of the working set, plus a sentinel row 251 that must never be written.
constexpr int kRows = kPointCapacity + 1;
constexpr double kSentinel = -12345.0;

class AddNewPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    pricedPoints().clear();
    resetGeneratorsForTesting();

    // Frame and cut ranges of length, tolerance and Tc.
    prevLower_ = vec({24.0, 0.0064, 70.0});
    prevUpper_ = vec({64.0, 0.0107, 75.0});
    curLower_ = vec({30.0, 0.007, 71.0});
    curUpper_ = vec({50.0, 0.010, 74.0});
    points_ = matrix(1, kRows, 1, kVars);
    funcValues_ = dvector(1, kRows);
    for (int p = 1; p <= kRows; ++p) {
      for (int i = 1; i <= kVars; ++i) points_[p][i] = kSentinel;
      funcValues_[p] = kSentinel;
    }
    xOpt_ = vec({100.0, 0.008, 72.0});  // outside unless a test moves it
  }
  // The driver's pricing stand-in: the cost of a point is its length. It records
  // what it priced and, like the driver's pricing of a new point, reads the one key the
  // designer presses after it; addNewPoints itself reads nothing, so the key presses
  // on the input are used up exactly when each new point was priced once.
  static std::vector<std::vector<double>>& pricedPoints() {
    static std::vector<std::vector<double>> points;
    return points;
  }
  static double priceByLength(const DVector& x) {
    pricedPoints().push_back({x[1], x[2], x[3]});
    std::getchar();
    return x[1];
  }

  static DVector vec(const std::vector<double>& values) {
    DVector v = dvector(1, static_cast<int>(values.size()));
    for (std::size_t k = 0; k < values.size(); ++k) v[static_cast<int>(k) + 1] = values[k];
    return v;
  }
  static void writeFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string inputPath() {
    return ::testing::TempDir() + "augmentation_input_" + std::to_string(getpid()) + ".txt";
  }

  void setPoint(int row, const std::vector<double>& x, double value) {
    for (int i = 1; i <= kVars; ++i) points_[row][i] = x[static_cast<std::size_t>(i - 1)];
    funcValues_[row] = value;
  }
  // The point in the given stratum of every variable, at its middle.
  std::vector<double> diagonalPoint(int stratum) const {
    std::vector<double> x;
    for (int i = 1; i <= kVars; ++i) {
      x.push_back(curLower_[i] + (curUpper_[i] - curLower_[i]) * ((stratum - 0.5) / kStrata));
    }
    return x;
  }
  int stratum(int row, int i) const {
    const double position = kStrata * ((points_[row][i] - curLower_[i]) / (curUpper_[i] - curLower_[i]));
    return static_cast<int>(std::floor(position)) + 1;
  }

  // Runs addNewPoints with `newlines` Enter presses on standard input followed by a
  // marker; returns the console output and whether exactly those presses were read.
  int run(int nPoints, const DVector& prevLower, const DVector& prevUpper, int newlines,
          std::string& out, bool& consumedExactly) {
    writeFile(inputPath(), std::string(static_cast<std::size_t>(newlines), '\n') + "#");
    EXPECT_NE(std::freopen(inputPath().c_str(), "rb", stdin), nullptr);
    ::testing::internal::CaptureStdout();
    const std::size_t pricedBefore = pricedPoints().size();
    const int result = addNewPoints(kVars, nPoints, prevLower, prevUpper, curLower_, curUpper_,
                                    points_, funcValues_, xOpt_, 7.5, seed_, priceByLength,
                                    pricedCount_);
    out = ::testing::internal::GetCapturedStdout();
    consumedExactly = std::getchar() == '#';
    EXPECT_EQ(pricedPoints().size() - pricedBefore, static_cast<std::size_t>(pricedCount_))
        << "the count handed back is the number of pricings";
    return result;
  }
  int runCut(int nPoints, int newlines, std::string& out) {
    bool consumed = false;
    const int result = run(nPoints, prevLower_, prevUpper_, newlines, out, consumed);
    EXPECT_TRUE(consumed) << "each new point is priced once, and nothing else is read";
    return result;
  }

  // The sentinel row and funcValues beyond the capacity are untouched.
  void expectSentinelKept() {
    for (int i = 1; i <= kVars; ++i) EXPECT_EQ(points_[kRows][i], kSentinel);
    EXPECT_EQ(funcValues_[kRows], kSentinel);
  }
  // Points result-from+1..result lie in the cut ranges and carry the fake cost.
  void expectPricedInside(int from, int to) {
    for (int p = from; p <= to; ++p) {
      for (int i = 1; i <= kVars; ++i) {
        EXPECT_GE(points_[p][i], curLower_[i]) << p;
        EXPECT_LE(points_[p][i], curUpper_[i]) << p;
      }
      EXPECT_EQ(funcValues_[p], points_[p][1]) << p;
    }
  }

  int pricedCount_ = -1;
  DVector prevLower_, prevUpper_, curLower_, curUpper_, xOpt_;
  DMatrix points_;
  DVector funcValues_;
  std::int32_t seed_ = 0;
};

const char kNotReduced[] = "\nThe design space has not been reduced yet! Run CUT first.\n\n";
const char kFull[] = "\n The point set is full (250 points); no more points are added.\n";

TEST_F(AddNewPoints, UnchangedRangesAddOnlyAnOptimumInside) {
  setPoint(1, diagonalPoint(3), 1.0);
  setPoint(2, {99.0, 0.008, 72.0}, 2.0);  // outside, but nothing is dropped here
  bool consumed = false;
  std::string out;

  // The optimum outside the ranges is not added.
  EXPECT_EQ(run(2, curLower_, curUpper_, 0, out, consumed), 2);
  EXPECT_EQ(out, kNotReduced);
  EXPECT_EQ(points_[3][1], kSentinel);

  // Inside (5e-5 beyond a bound is within the tolerance): appended with fOpt.
  xOpt_ = vec({50.00005, 0.008, 72.0});
  EXPECT_EQ(run(2, curLower_, curUpper_, 0, out, consumed), 3);
  EXPECT_EQ(out, kNotReduced);
  EXPECT_EQ(points_[2][1], 99.0);
  EXPECT_EQ(points_[3][1], 50.00005);
  EXPECT_EQ(funcValues_[3], 7.5);

  // A full set takes nothing more.
  EXPECT_EQ(run(kPointCapacity, curLower_, curUpper_, 0, out, consumed), kPointCapacity);
  EXPECT_EQ(out, std::string(kNotReduced) + kFull);
  expectSentinelKept();

  EXPECT_EQ(pricedCount_, 0);
  EXPECT_TRUE(pricedPoints().empty()) << "nothing is priced";
}

// With nothing kept every list holds 1..m: new point p lies in stratum p of every
// variable, the cells on the diagonal of the box.
TEST_F(AddNewPoints, NothingKeptFillsTheDiagonal) {
  setPoint(1, {29.0, 0.008, 72.0}, 1.0);   // length below the cut range
  setPoint(2, {40.0, 0.0102, 72.0}, 2.0);  // tolerance above it
  std::string out;
  EXPECT_EQ(runCut(2, kStrata, out), kStrata);
  EXPECT_NE(out.find("\n--nNewPoint = 10\n"), std::string::npos);
  for (int p = 1; p <= kStrata; ++p) {
    for (int i = 1; i <= kVars; ++i) EXPECT_EQ(stratum(p, i), p) << "point " << p << " var " << i;
  }
  expectPricedInside(1, kStrata);
  EXPECT_EQ(pricedCount_, kStrata);
}

// The optimum comes first, kept points follow in their old order; a point on an upper
// bound lies in stratum m and one 5e-5 below a lower bound in stratum 1, so the new
// points fill strata 2..m-1 only.
TEST_F(AddNewPoints, KeptPointsAndTheBoundaryStrata) {
  xOpt_ = vec({41.0, 0.00865, 72.65});
  setPoint(1, {50.0, 0.010, 74.0}, 1.0);                // on every upper bound
  setPoint(2, {60.0, 0.008, 72.0}, 2.0);                // outside: dropped
  setPoint(3, {30.0 - 5e-5, 0.007 - 5e-5, 71.0 - 5e-5}, 3.0);  // just below every lower bound
  std::string out;
  // xOpt lies in stratum 6 of length, 6 of tolerance and 6 of Tc: lists 2..5, 7..9.
  EXPECT_EQ(runCut(3, 7, out), 3 + 7);
  EXPECT_NE(out.find("\n--nNewPoint = 7\n"), std::string::npos);
  EXPECT_EQ(points_[1][1], 41.0);
  EXPECT_EQ(funcValues_[1], 7.5);
  EXPECT_EQ(points_[2][1], 50.0);
  EXPECT_EQ(funcValues_[2], 1.0);
  EXPECT_EQ(points_[3][1], 30.0 - 5e-5);
  EXPECT_EQ(funcValues_[3], 3.0);
  const int expected[] = {2, 3, 4, 5, 7, 8, 9};
  for (int p = 1; p <= 7; ++p) {
    for (int i = 1; i <= kVars; ++i) EXPECT_EQ(stratum(3 + p, i), expected[p - 1]) << p;
  }
  expectPricedInside(4, 10);
}

// Kept points that share a stratum leave one variable with a longer list: the others
// are topped up with a random stratum drawn with a seed variable set to the slot.
TEST_F(AddNewPoints, ShortListsAreToppedUpWithRandomStrata) {
  setPoint(1, {30.5, 0.00705, 71.05}, 1.0);  // strata 1, 1, 1
  setPoint(2, {31.0, 0.00745, 71.45}, 2.0);  // strata 1, 2, 2
  // Length's list is 2..10 (nine), tolerance's and Tc's 3..10 (eight): slot 9 of both
  // is drawn, tolerance first, from the shared table as the augmentation leaves it.
  std::int32_t slot = 9;
  const int toleranceStratum = static_cast<int>(std::trunc(kStrata * shuffledUniform(slot))) + 1;
  slot = 9;
  const int tcStratum = static_cast<int>(std::trunc(kStrata * shuffledUniform(slot))) + 1;
  resetGeneratorsForTesting();

  std::string out;
  EXPECT_EQ(runCut(2, 9, out), 2 + 9);
  EXPECT_NE(out.find("\n--nNewPoint = 9\n"), std::string::npos);
  for (int p = 1; p <= 8; ++p) {
    EXPECT_EQ(stratum(2 + p, 1), p + 1);
    EXPECT_EQ(stratum(2 + p, 2), p + 2);
    EXPECT_EQ(stratum(2 + p, 3), p + 2);
  }
  EXPECT_EQ(stratum(11, 1), 10);
  EXPECT_EQ(stratum(11, 2), toleranceStratum);
  EXPECT_EQ(stratum(11, 3), tcStratum);
  expectPricedInside(3, 11);
  EXPECT_EQ(pricedCount_, 9);
}

TEST_F(AddNewPoints, EveryStratumOccupiedAddsNothing) {
  for (int s = 1; s <= kStrata; ++s) setPoint(s, diagonalPoint(s), s);
  std::string out;
  EXPECT_EQ(runCut(kStrata, 0, out), kStrata);
  EXPECT_EQ(out, "\n--nNewPoint = 0\n");
  EXPECT_EQ(seed_, 0) << "no design is drawn";
  EXPECT_EQ(pricedCount_, 0);
}

// A range of zero width puts every point in its stratum 1 and every new point on it.
TEST_F(AddNewPoints, ZeroWidthRangeIsItsOwnStratum) {
  curLower_[3] = 72.0;
  curUpper_[3] = 72.0;
  setPoint(1, {30.5, 0.00705, 72.0}, 1.0);
  std::string out;
  EXPECT_EQ(runCut(1, 9, out), 1 + 9);
  for (int p = 2; p <= 10; ++p) EXPECT_EQ(points_[p][3], 72.0) << p;
  expectPricedInside(2, 10);
}

// Only as many new points as the capacity leaves room for are priced; a full set of
// kept points plus the optimum loses its last kept point.
TEST_F(AddNewPoints, TheWorkingSetNeverPassesItsCapacity) {
  const int nPoints = kPointCapacity - 5;
  for (int p = 1; p <= nPoints; ++p) setPoint(p, diagonalPoint(6), p);
  std::string out;
  EXPECT_EQ(runCut(nPoints, 5, out), kPointCapacity);
  EXPECT_NE(out.find(std::string("\n--nNewPoint = 9\n") + kFull), std::string::npos);
  EXPECT_EQ(pricedCount_, 5);
  expectPricedInside(nPoints + 1, kPointCapacity);
  expectSentinelKept();

  for (int p = 1; p <= kPointCapacity; ++p) setPoint(p, diagonalPoint(6), p);
  xOpt_ = vec(diagonalPoint(6));
  EXPECT_EQ(runCut(kPointCapacity, 0, out), kPointCapacity);
  EXPECT_NE(out.find(kFull), std::string::npos);
  EXPECT_EQ(funcValues_[1], 7.5);
  EXPECT_EQ(funcValues_[kPointCapacity], kPointCapacity - 1.0);
  EXPECT_EQ(pricedCount_, 0);
  expectSentinelKept();
}

}  // namespace
}  // namespace designopt
