// Process-wide objective evaluation counters of the current design.
#pragma once

namespace designopt {

// Objective evaluations in the current design (set by the driver after the initial
// design, raised by every later evaluation the driver, the refinement cycles or the
// point augmentation make).
extern int evaluationCount;
// evaluationCount when the best feasible design last improved.
extern int evaluationsToOptimum;

}  // namespace designopt
