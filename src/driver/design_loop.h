// The design iteration loop: one call of optimiseDesign optimises one design, from
// the problem file "input.dat" to the best feasible design, under the designer's
// control at the console.
#pragma once

#include <cstdint>

#include "numeric/one_based.h"

namespace designopt {

// Value of fBest and of every coordinate of xBest until a feasible design is found.
constexpr double kNoBestYet = 1e8;

// The initial design of iteration 1: (n + 1)(n + 2)/2 Latin hypercube points mapped
// into [lower, upper] and priced in order. Fills rows 1..m of points and funcValues,
// advances seed and returns m.
int initialDesign(int n, const DVector& lower, const DVector& upper, DMatrix& points,
                  DVector& funcValues, std::int32_t& seed);

// Reads "input.dat", opens the run log, and runs design iterations (sampling,
// refinement cycles, constrained optimum, best feasible design, summary) until the
// designer is happy; then reports the best design, sets productSpec.bestLength to its
// first variable and closes the log. Problem-file and log failures end the process.
void optimiseDesign();

}  // namespace designopt
