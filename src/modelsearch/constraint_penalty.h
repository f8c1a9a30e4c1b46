// The penalty the constrained search adds to the fitted model: every excursion of a
// performance constraint (product/constraints.h) and of the search box, squared and
// weighted by kPenaltyWeight. It lives beside the search that minimises it because it
// maps the search's normalised point to a physical design through the ranges that the
// search publishes in modelContext.
#pragma once

namespace designopt {

// Penalty of a normalised point x[1..n] (n from modelContext): constraint and box
// excursions, each squared and weighted by 1e8. Only valid while the constrained
// search has published its half-widths and centres in modelContext; called outside
// that window it reports the misuse on the standard error stream and ends the
// process with status 1.
double constraintPenalty(const double* x);

// constraintPenalty(x) + modelValue(x): the cost function of the constrained search.
double penalisedModelCost(const double* x);

}  // namespace designopt
