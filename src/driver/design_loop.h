// The design iteration loop: one call of optimiseDesign optimises one design, from
// the problem file "input.dat" to the best feasible design, under the designer's
// control at the console.
#pragma once

#include <cstdint>

#include "numeric/one_based.h"
#include "runlog/run_log_format.h"

namespace designopt {

// The initial design of iteration 1: (n + 1)(n + 2)/2 Latin hypercube points mapped
// into [lower, upper] and priced in order. Fills rows 1..m of points and funcValues,
// advances seed and returns m.
int initialDesign(int n, const DVector& lower, const DVector& upper, DMatrix& points,
                  DVector& funcValues, std::int32_t& seed);

// The design a run of optimiseDesign hands back to the console.
struct BestDesign {
  // True when some evaluated point or constrained optimum of this design was feasible
  // and accepted as the best; false leaves length and tolerance at kNoBestYet, which
  // is no design at all.
  bool feasible = false;
  double length = 0.0;     // inch; first variable of the best design
  double tolerance = 0.0;  // second variable of the best design
};

// Reads "input.dat", opens the run log, and runs design iterations (sampling,
// refinement cycles, constrained optimum, best feasible design, summary) until the
// designer is happy; then reports the best design (in the log, "\n No feasible design
// was found.\n" after it when there is none), sets productSpec.bestLength to its first
// variable, closes the log and returns it. Problem-file and log failures end the
// process.
BestDesign optimiseDesign();

}  // namespace designopt
