// The performance requirements as constraints g(y) <= 0 on a physical design point,
// their penalty for the constrained search on the fitted model, and the keeping of
// the best feasible design. The capacity and NC come from the same formulas as the
// performance model, so unpriced points are judged without running the workbook.
#include "product/constraints.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "numeric/quad_model.h"
#include "product/evaluation_counters.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {

namespace {

// Face velocity (feet per minute) the TN constraints would use; held at 0 so that
// constraints 3 and 4 mean 2.1 <= Tc - roomTemperature <= 5.1.
constexpr double kAirVelocity = 0.0;

// A constraint counts as satisfied below this (strictly).
constexpr double kFeasibilityTolerance = 1e-6;

// Room for the model's constraints ahead of the box entries in a constraint vector.
constexpr int kMaxConstraints = 20;

// The penalty's two scratch vectors: the physical point and the constraint entries
// with the box entries after them. The penalty runs once per annealing step, some 10^5
// times per search, so they are kept across calls and grown when a model with more
// variables comes, instead of being allocated and released on every call. Every entry
// the penalty reads is written first in the same call.
struct ConstraintScratch {
  DVector y;
  DVector g;
};

ConstraintScratch& constraintScratch(int n) {
  static ConstraintScratch scratch;
  if (!scratch.y.allocated() || scratch.y.hi() < n) {
    scratch.y = dvector(1, n);
    scratch.g = dvector(1, 2 * n + kMaxConstraints);
  }
  return scratch;
}

// The penalty maps its normalised point through the ranges that only the constrained
// search publishes; anywhere else there is nothing sound to map with.
void requireSearchWindow(int n) {
  const DVector* halfWidths = modelContext.halfWidths;
  const DVector* centres = modelContext.centres;
  if (halfWidths == nullptr || centres == nullptr) {
    std::fprintf(stderr,
                 "Error: constraintPenalty called outside the constrained search: "
                 "no half-widths and centres are published in the model context\n");
    std::exit(1);
  }
  if (n < 1 || halfWidths->hi() < n || centres->hi() < n) {
    std::fprintf(stderr,
                 "Error: constraintPenalty called for %d variables, but the model context "
                 "publishes half-widths and centres for fewer\n",
                 n);
    std::exit(1);
  }
}

}  // namespace

void evaluateConstraints(const double* y, DVector& g, int& neq, int& ncon) {
  const ProductSpec& grille = productSpec;
  const double length = y[1];
  const double tc = y[3];
  const double w = grille.grilleWidth;
  const double tnc = (grille.roomTemperature - tc) - 0.07 * (kAirVelocity - 30);

  g[1] = grille.requiredCfm - grilleCapacity(length, w, grille.flowCoefficient);
  g[2] = noiseCriterion(length, grille.staticPressure, w) - grille.maxNC;
  g[3] = -tnc - 3;
  g[4] = tnc;
  neq = 0;
  ncon = 4;
}

double constraintPenalty(const double* x) {
  const int n = modelContext.n;
  requireSearchWindow(n);
  const DVector& halfWidths = *modelContext.halfWidths;
  const DVector& centres = *modelContext.centres;

  ConstraintScratch& scratch = constraintScratch(n);
  DVector& y = scratch.y;
  DVector& g = scratch.g;

  // The physical point the normalised one stands for.
  for (int i = 1; i <= n; ++i) y[i] = x[i] * halfWidths[i] + centres[i];

  int neq = 0;
  int ncon = 0;
  evaluateConstraints(y.data(), g, neq, ncon);
  if (neq > ncon || ncon > kMaxConstraints) {
    std::printf("Error: the number of constraints has error!\n");
    // Only kMaxConstraints entries fit ahead of the box entries.
    if (ncon > kMaxConstraints) ncon = kMaxConstraints;
    if (neq > ncon) neq = ncon;
  }

  double penalty = 0;
  for (int i = 1; i <= neq; ++i) penalty += kPenaltyWeight * (g[i] * g[i]);

  // The search box -1 <= x[i] <= 1.
  for (int i = 1; i <= n; ++i) {
    g[ncon + 2 * i - 1] = x[i] - 1;
    g[ncon + 2 * i] = -1 - x[i];
  }
  for (int i = neq + 1; i <= ncon + 2 * n; ++i) {
    if (g[i] > 0) penalty += kPenaltyWeight * (g[i] * g[i]);
  }

  return penalty;
}

double penalisedModelCost(const double* x) {
  const double penalty = constraintPenalty(x);
  return penalty + modelValue(x);
}

bool isFeasible(const double* y) {
  DVector g = dvector(1, kMaxConstraints);
  int neq = 0;
  int ncon = 0;
  evaluateConstraints(y, g, neq, ncon);
  for (int i = 1; i <= neq; ++i) {
    if (!(std::fabs(g[i]) < kFeasibilityTolerance)) return false;
  }
  for (int i = neq + 1; i <= ncon; ++i) {
    if (!(g[i] < kFeasibilityTolerance)) return false;
  }
  return true;
}

bool updateBestFeasible(int n, int m, const DMatrix& points, const DVector& values,
                        const DVector& optimumPoint, double optimumValue,
                        DVector& bestDesign, double& bestValue) {
  bool accepted = false;
  // The evaluated points in their order: only a strictly lower feasible value
  // improves, so the first of equal values wins and an earlier best is never
  // displaced by an equal one.
  for (int k = 1; k <= m; ++k) {
    if (!isFeasible(points[k])) continue;
    if (!(values[k] < bestValue)) continue;
    bestValue = values[k];
    for (int i = 1; i <= n; ++i) bestDesign[i] = points[k][i];
    evaluationsToOptimum = evaluationCount;
    accepted = true;
  }

  // The optimum of the constrained search must beat every feasible evaluated point.
  if (optimumValue < bestValue && isFeasible(optimumPoint.data())) {
    bestValue = optimumValue;
    for (int i = 1; i <= n; ++i) bestDesign[i] = optimumPoint[i];
    evaluationsToOptimum = evaluationCount;
    accepted = true;
  }
  return accepted;
}

}  // namespace designopt
