// The two questions the design iterations ask of the fitted quadratic model, each
// answered by one annealing search in the model's normalised coordinates [-1, 1]^n:
// the lowest model value in the box, and the constrained optimum in real units.
#pragma once

#include "numeric/one_based.h"
#include "numeric/quad_model.h"

namespace designopt {

// Publishes n and coefs in modelContext (they stay there for the cutting searches) and
// returns modelCost at the best point found. coefs must outlive every later use of
// modelContext.
double minimiseModel(int n, const DVector& coefs);

// Clears modelContext: the design whose coefficients it points to has ended, and no
// search may read them after that. The driver calls it when it releases the design.
void forgetModel();

// Minimises penalisedModelCost over the normalised coordinates of the ranges
// lower..upper on which coefs was fitted; best[1..n] receives the best point in real
// units. Returns the penalised model value there (not a workbook cost).
double optimiseConstrained(int n, const DVector& lower, const DVector& upper,
                           const DVector& coefs, DVector& best);

// 1e8 times the sum of the squared excursions beyond [-1, 1] of x[1..n] (n from
// modelContext); 0 inside the box.
double boxPenalty(const double* x);

// Adds the squared excursions of one coordinate beyond -1 and 1 to sum: the box
// penalty's term, in its order of operations.
[[gnu::always_inline]] inline void addBoxExcursions(double coordinate, double& sum) {
  const double above = coordinate - 1;
  if (above > 0) sum += above * above;
  const double below = -1 - coordinate;
  if (below > 0) sum += below * below;
}

// boxPenalty of the point x[1..n] with x[i] replaced by r, without copying the point
// (the cut energy asks this at every evaluation). Bit for bit the same value.
[[gnu::always_inline]] inline double boxPenaltyWithCoordinate(const double* x, int n, int i, double r) {
  double sum = 0.0;
#pragma GCC unroll 4
  for (int k = 1; k <= n; ++k) addBoxExcursions(k == i ? r : x[k], sum);
  return kPenaltyWeight * sum;
}

// boxPenalty(x) + modelValue(x): the cost function of minimiseModel.
double modelCost(const double* x);

}  // namespace designopt
