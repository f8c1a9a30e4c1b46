// The four performance constraints g(y) <= 0 of a physical design point and the
// keeping of the best feasible design. (Their penalty for the constrained search on
// the fitted model lives with that search, in modelsearch/constraint_penalty.h.)
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// Room for the constraints in a constraint vector: evaluateConstraints never reports
// more (ncon <= kMaxConstraints); the penalty puts the box entries after them.
constexpr int kMaxConstraints = 20;

// y[1..3] = length (inch), tolerance, Tc; fills g[1..4]; neq = 0, ncon = 4.
void evaluateConstraints(const double* y, DVector& g, int& neq, int& ncon);

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
