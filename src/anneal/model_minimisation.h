// The two questions the design iterations ask of the fitted quadratic model, each
// answered by one annealing search in the model's normalised coordinates [-1, 1]^n:
// the lowest model value in the box, and the constrained optimum in real units.
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// Publishes n and coefs in modelContext (they stay there for the cutting searches) and
// returns modelCost at the best point found. coefs must outlive every later use of
// modelContext.
double minimiseModel(int n, const DVector& coefs);

// Minimises penalisedModelCost over the normalised coordinates of the ranges
// lower..upper on which coefs was fitted; best[1..n] receives the best point in real
// units. Returns the penalised model value there (not a workbook cost).
double optimiseConstrained(int n, const DVector& lower, const DVector& upper,
                           const DVector& coefs, DVector& best);

// 1e8 times the sum of the squared excursions beyond [-1, 1] of x[1..n] (n from
// modelContext); 0 inside the box.
double boxPenalty(const double* x);

// boxPenalty(x) + modelValue(x): the cost function of minimiseModel.
double modelCost(const double* x);

}  // namespace designopt
