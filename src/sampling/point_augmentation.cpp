// Point augmentation after a cut: keeps the evaluated points inside the cut ranges,
// fills the strata they leave empty with new points whose offsets come from a Latin
// hypercube design, prices the new points and rebuilds the working set.
#include "sampling/point_augmentation.h"

#include <cmath>
#include <cstdio>

#include "numeric/quad_model.h"
#include "random/random_generators.h"
#include "sampling/latin_hypercube.h"

namespace designopt {

namespace {

// A stratum position that is not below m (a point on or just above the upper bound)
// is moved this far inside, into stratum m.
constexpr double kTopStratumInset = 1e-4;

// True when the point lies in the current ranges, within the tolerance.
bool insideRanges(int n, const double* x, const DVector& curLower, const DVector& curUpper) {
  for (int i = 1; i <= n; ++i) {
    if (!(curLower[i] - kRangeTolerance <= x[i] && x[i] <= curUpper[i] + kRangeTolerance)) {
      return false;
    }
  }
  return true;
}

// Stratum 1..m of the coordinate x in the range [lower, upper] cut into m strata. A
// zero-width range puts every point in stratum 1; a position below the range (a point
// within the tolerance under the lower bound) is clamped to 0 before truncation, so
// the stratum is always 1..m.
int stratumOf(double x, double lower, double upper, int m) {
  const double width = upper - lower;
  double position = width > 0.0 ? m * ((x - lower) / width) : 0.0;
  if (!(position < m)) position = m - kTopStratumInset;
  if (!(position >= 0.0)) position = 0.0;
  return static_cast<int>(std::trunc(position)) + 1;
}

// A one-based row copy of a matrix row (the kept points are rows of a DMatrix).
void copyRow(int n, const double* from, double* to) {
  for (int i = 1; i <= n; ++i) to[i] = from[i];
}

// The ranges were not cut since the previous iteration: only the previous optimum
// may join the point set, after the points held. Returns the new number of points.
int addOptimumOnly(int n, int nPoints, bool optimumInside, DMatrix& points,
                   DVector& funcValues, const DVector& xOpt, double fOpt) {
  std::printf("\nThe design space has not been reduced yet! Run CUT first.\n\n");
  if (!optimumInside) return nPoints;
  if (nPoints + 1 > kPointCapacity) {
    reportPointSetFull();
    return nPoints;
  }
  copyRow(n, xOpt.data(), points[nPoints + 1]);
  funcValues[nPoints + 1] = fOpt;
  return nPoints + 1;
}

// The points kept for the cut ranges: the previous optimum first when it lies inside,
// then the held points inside the ranges in their old order, into rows 1.. of kept
// (which has one row more than the capacity, for the optimum beside a full set).
// Returns how many are kept, at most kPointCapacity; setFull tells whether some had
// to be left out.
int keepPointsInside(int n, int nPoints, const DMatrix& points, const DVector& funcValues,
                     bool optimumInside, const DVector& xOpt, double fOpt,
                     const DVector& curLower, const DVector& curUpper, DMatrix& kept,
                     DVector& keptValues, bool& setFull) {
  int k = 0;
  if (optimumInside) {
    ++k;
    copyRow(n, xOpt.data(), kept[k]);
    keptValues[k] = fOpt;
  }
  for (int p = 1; p <= nPoints; ++p) {
    if (!insideRanges(n, points[p], curLower, curUpper)) continue;
    ++k;
    copyRow(n, points[p], kept[k]);
    keptValues[k] = funcValues[p];
  }
  setFull = k > kPointCapacity;
  return setFull ? kPointCapacity : k;
}

// The strata, of the m strata of every current range, that no kept point occupies:
// freeStrata[i][1..] in increasing order for variable i. The longest list sets the
// number of new points, which is returned; the shorter lists are topped up to it with
// random strata. Each slot draws with a fresh seed variable set to its slot number,
// which advances the shared shuffle table without refilling it and leaves the design
// seed alone.
int listFreeStrata(int n, int m, int k, const DMatrix& kept, const DVector& curLower,
                   const DVector& curUpper, IMatrix& freeStrata) {
  IMatrix strata = intMatrix(1, k, 1, n);
  for (int p = 1; p <= k; ++p) {
    for (int i = 1; i <= n; ++i) strata[p][i] = stratumOf(kept[p][i], curLower[i], curUpper[i], m);
  }

  IVector freeCount = ivector(1, n);
  int newCount = 0;
  for (int i = 1; i <= n; ++i) {
    freeCount[i] = 0;
    for (int s = 1; s <= m; ++s) {
      bool occupied = false;
      for (int p = 1; p <= k && !occupied; ++p) occupied = strata[p][i] == s;
      if (!occupied) freeStrata[i][++freeCount[i]] = s;
    }
    if (freeCount[i] > newCount) newCount = freeCount[i];
  }

  for (int i = 1; i <= n; ++i) {
    for (int s = freeCount[i] + 1; s <= newCount; ++s) {
      std::int32_t slotSeed = s;
      freeStrata[i][s] = static_cast<int>(std::trunc(m * shuffledUniform(slotSeed))) + 1;
    }
  }

  releaseIVector(freeCount, 1, n);
  releaseIntMatrix(strata, 1, k, 1, n);
  return newCount;
}

// The new points, rows 1..newCount of fresh, in own units: the stratum from the free
// lists (paired by position), the offset inside it from the fraction of a Latin
// hypercube design value drawn with the design seed.
void placeNewPoints(int n, int m, int newCount, const IMatrix& freeStrata,
                    const DVector& curLower, const DVector& curUpper, std::int32_t& seed,
                    DMatrix& fresh) {
  DMatrix design = matrix(1, newCount, 1, n);
  if (newCount > 0) latinHypercube(n, newCount, design, seed);
  for (int p = 1; p <= newCount; ++p) {
    for (int i = 1; i <= n; ++i) {
      const double f = design[p][i] - std::trunc(design[p][i]);
      const double z = (freeStrata[i][p] - 1) + f;
      fresh[p][i] = curLower[i] + (curUpper[i] - curLower[i]) * (z * (1.0 / m));
    }
  }
  releaseMatrix(design, 1, newCount, 1, n);
}

// Prices rows 1..count of fresh into freshValues[1..count], in order.
void priceNewPoints(int n, int count, const DMatrix& fresh, DVector& freshValues,
                    PricingFunction price) {
  DVector candidate = dvector(1, n);
  for (int p = 1; p <= count; ++p) {
    copyRow(n, fresh[p], candidate.data());
    freshValues[p] = price(candidate);
  }
  releaseDVector(candidate, 1, n);
}

// The new point set: the k kept points, then the first `added` new ones. Returns its
// size.
int rebuildPointSet(int n, int k, const DMatrix& kept, const DVector& keptValues, int added,
                    const DMatrix& fresh, const DVector& freshValues, DMatrix& points,
                    DVector& funcValues) {
  for (int p = 1; p <= k; ++p) {
    copyRow(n, kept[p], points[p]);
    funcValues[p] = keptValues[p];
  }
  for (int p = 1; p <= added; ++p) {
    copyRow(n, fresh[p], points[k + p]);
    funcValues[k + p] = freshValues[p];
  }
  return k + added;
}

}  // namespace

int addNewPoints(int n, int nPoints, const DVector& prevLower, const DVector& prevUpper,
                 const DVector& curLower, const DVector& curUpper, DMatrix& points,
                 DVector& funcValues, const DVector& xOpt, double fOpt, std::int32_t& seed,
                 PricingFunction price, int& pricedCount) {
  const int m = coefficientCount(n);
  pricedCount = 0;

  const bool optimumInside = insideRanges(n, xOpt.data(), curLower, curUpper);
  if (rangesUnchanged(n, prevLower, prevUpper, curLower, curUpper)) {
    return addOptimumOnly(n, nPoints, optimumInside, points, funcValues, xOpt, fOpt);
  }

  const int keptRows = kPointCapacity + 1;
  DMatrix kept = matrix(1, keptRows, 1, n);
  DVector keptValues = dvector(1, keptRows);
  bool setFull = false;
  const int k = keepPointsInside(n, nPoints, points, funcValues, optimumInside, xOpt, fOpt,
                                 curLower, curUpper, kept, keptValues, setFull);

  IMatrix freeStrata = intMatrix(1, n, 1, m);
  const int newCount = listFreeStrata(n, m, k, kept, curLower, curUpper, freeStrata);
  std::printf("\n--nNewPoint = %d\n", newCount);

  // Only as many new points as the point set has room for are priced; the whole
  // design is still drawn, so the design seed advances as for an unbounded set.
  int added = newCount;
  if (k + added > kPointCapacity) {
    added = kPointCapacity - k;
    setFull = true;
  }
  if (setFull) reportPointSetFull();

  DMatrix fresh = matrix(1, newCount, 1, n);
  placeNewPoints(n, m, newCount, freeStrata, curLower, curUpper, seed, fresh);
  DVector freshValues = dvector(1, newCount);
  priceNewPoints(n, added, fresh, freshValues, price);
  pricedCount = added;
  const int held = rebuildPointSet(n, k, kept, keptValues, added, fresh, freshValues,
                                   points, funcValues);

  releaseDVector(freshValues, 1, newCount);
  releaseMatrix(fresh, 1, newCount, 1, n);
  releaseIntMatrix(freeStrata, 1, n, 1, m);
  releaseDVector(keptValues, 1, keptRows);
  releaseMatrix(kept, 1, keptRows, 1, n);
  return held;
}

}  // namespace designopt
