// Point augmentation after a cut: keeps the evaluated points inside the cut ranges,
// fills the strata they leave empty with new points whose offsets come from a Latin
// hypercube design, prices the new points and rebuilds the working set.
#include "sampling/point_augmentation.h"

#include <cmath>
#include <cstdio>

#include "numeric/quad_model.h"
#include "platform/console_answers.h"
#include "sampling/latin_hypercube.h"
#include "sampling/random_generators.h"

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

}  // namespace

int addNewPoints(int n, int nPoints, const DVector& prevLower, const DVector& prevUpper,
                 const DVector& curLower, const DVector& curUpper, DMatrix& points,
                 DVector& funcValues, const DVector& xOpt, double fOpt, std::int32_t& seed,
                 PricingFunction price, int& pricedCount) {
  const int m = coefficientCount(n);
  pricedCount = 0;

  // The previous optimum is kept first when it lies in the current ranges.
  const bool optimumKept = insideRanges(n, xOpt.data(), curLower, curUpper);

  // Ranges not cut since the previous iteration: only the optimum may be added.
  if (rangesUnchanged(n, prevLower, prevUpper, curLower, curUpper)) {
    std::printf("\nThe design space has not been reduced yet! Run CUT first.\n\n");
    if (!optimumKept) return nPoints;
    if (nPoints + 1 > kPointCapacity) {
      reportPointSetFull();
      return nPoints;
    }
    copyRow(n, xOpt.data(), points[nPoints + 1]);
    funcValues[nPoints + 1] = fOpt;
    return nPoints + 1;
  }

  // Kept points: the optimum, then the old points inside the cut ranges in their old
  // order. One row more than the capacity holds the optimum beside a full set.
  const int keptRows = kPointCapacity + 1;
  DMatrix kept = matrix(1, keptRows, 1, n);
  DVector keptValues = dvector(1, keptRows);
  int k = 0;
  if (optimumKept) {
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
  bool setFull = false;
  if (k > kPointCapacity) {
    k = kPointCapacity;
    setFull = true;
  }

  // Occupied strata of every kept point in every variable.
  IMatrix strata = intMatrix(1, k, 1, n);
  for (int p = 1; p <= k; ++p) {
    for (int i = 1; i <= n; ++i) strata[p][i] = stratumOf(kept[p][i], curLower[i], curUpper[i], m);
  }

  // Free strata per variable, in increasing order; the longest list sets the count.
  IMatrix freeStrata = intMatrix(1, n, 1, m);
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

  // Shorter lists are topped up with random strata. Each slot draws with a fresh seed
  // variable set to its slot number, which advances the shared shuffle table without
  // refilling it and leaves the design seed alone.
  for (int i = 1; i <= n; ++i) {
    for (int s = freeCount[i] + 1; s <= newCount; ++s) {
      std::int32_t slotSeed = s;
      freeStrata[i][s] = static_cast<int>(std::trunc(m * shuffledUniform(slotSeed))) + 1;
    }
  }

  std::printf("\n--nNewPoint = %d\n", newCount);

  // Only as many new points as the working set has room for are priced; the whole
  // design is still drawn, so the design seed advances as for an unbounded set.
  int added = newCount;
  if (k + added > kPointCapacity) {
    added = kPointCapacity - k;
    setFull = true;
  }
  if (setFull) reportPointSetFull();

  // New points: stratum from the lists (paired by position), offset inside it from the
  // fraction of a Latin hypercube design value.
  DMatrix design = matrix(1, newCount, 1, n);
  if (newCount > 0) latinHypercube(n, newCount, design, seed);
  DMatrix fresh = matrix(1, newCount, 1, n);
  for (int p = 1; p <= newCount; ++p) {
    for (int i = 1; i <= n; ++i) {
      const double f = design[p][i] - std::trunc(design[p][i]);
      const double z = (freeStrata[i][p] - 1) + f;
      fresh[p][i] = curLower[i] + (curUpper[i] - curLower[i]) * (z * (1.0 / m));
    }
  }

  // Price the new points that fit, each followed by one discarded character.
  DVector freshValues = dvector(1, newCount);
  DVector candidate = dvector(1, n);
  for (int p = 1; p <= added; ++p) {
    copyRow(n, fresh[p], candidate.data());
    freshValues[p] = price(candidate);
    readCharacter();
  }

  // The new working set: the kept points, then the new ones.
  for (int p = 1; p <= k; ++p) {
    copyRow(n, kept[p], points[p]);
    funcValues[p] = keptValues[p];
  }
  for (int p = 1; p <= added; ++p) {
    copyRow(n, fresh[p], points[k + p]);
    funcValues[k + p] = freshValues[p];
  }
  pricedCount = added;

  releaseDVector(candidate, 1, n);
  releaseDVector(freshValues, 1, newCount);
  releaseMatrix(fresh, 1, newCount, 1, n);
  releaseMatrix(design, 1, newCount, 1, n);
  releaseIVector(freeCount, 1, n);
  releaseIntMatrix(freeStrata, 1, n, 1, m);
  releaseIntMatrix(strata, 1, k, 1, n);
  releaseDVector(keptValues, 1, keptRows);
  releaseMatrix(kept, 1, keptRows, 1, n);
  return k + added;
}

}  // namespace designopt
