// The four performance constraints g(y) <= 0 of a physical design point, their
// quadratic penalty added to the fitted model for the constrained search, and the
// keeping of the best feasible design.
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// y[1..3] = length (inch), tolerance, Tc; fills g[1..4]; neq = 0, ncon = 4.
void evaluateConstraints(const double* y, DVector& g, int& neq, int& ncon);

// Penalty of a normalised point x[1..n] (n from modelContext): constraint and box
// excursions, each squared and weighted by 1e8. Only valid while the constrained
// search has published its half-widths and centres in modelContext; called outside
// that window it reports the misuse on the standard error stream and ends the
// process with status 1.
double constraintPenalty(const double* x);

// constraintPenalty(x) + modelValue(x): the cost function of the constrained search.
double penalisedModelCost(const double* x);

// True when every equality has |g| < 1e-6 and every other entry g < 1e-6.
bool isFeasible(const double* y);

// Keeps the best feasible design among points[1..m] and the optimum point; see
// evaluationsToOptimum in evaluation_counters.h. Returns true when it accepted a point
// or the optimum as the new best design: the driver's only sign that a feasible
// design exists (the starting best of 1e8 is no design).
bool updateBestFeasible(int n, int m, const DMatrix& points, const DVector& values,
                        const DVector& optimumPoint, double optimumValue,
                        DVector& bestDesign, double& bestValue);

}  // namespace designopt
