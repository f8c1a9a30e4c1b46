// The constrained search's penalty: the physical point a normalised one stands for,
// its performance constraints, and the box, each excursion squared and weighted.
#include "modelsearch/constraint_penalty.h"

#include <cstdio>
#include <cstdlib>

#include "numeric/one_based.h"
#include "numeric/quad_model.h"
#include "product/constraints.h"

namespace designopt {

namespace {

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

}  // namespace designopt
