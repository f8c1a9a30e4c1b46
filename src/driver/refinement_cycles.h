// The refinement cycles of one design iteration: fit the quadratic model to every
// point evaluated so far, find its minimum, let the designer cut the design space,
// test whether the cut changed anything and whether the model looks concave, and add
// n Latin hypercube points (undoing the cut) when the model looks concave or the
// designer asks for more points. The cycles end when the model passes the concavity
// check with no request for more points, when the designer chooses to ignore a
// suspicious concavity, at the pure-concave limit, or when the point set is full.
#pragma once

#include <cstdio>

#include "driver/design_state.h"
#include "numeric/one_based.h"
#include "numeric/quad_model.h"
#include "sampling/point_augmentation.h"

namespace designopt {

// Chords tried by passesConcavityCheck; trial t draws its pair with the seed -t.
constexpr int kConcavityTrials = 30;

// True when on at least one of the trial chords the current model (the one the latest
// minimiseModel installed) is not above the mean of its end values at the chord's
// midpoint; false when it is above on all of them: the model curves downwards along
// every chord tried.
bool passesConcavityCheck(int n);

// The fit report on the standard output after every fit: the m coefficients, then the
// figures of a fit over np points.
void printFitReport(int np, int m, const DVector& coefs, const FitQuality& fit);

// Runs refinement cycles on the state until they end. The state's nAdded must be 0
// at the start of the iteration (the design loop sets it). On return coefs is the
// last fitted model and prevLower/prevUpper its frame. Writes the fitted
// coefficients and the added points to the run log.
void runRefinementCycles(DesignState& state, std::FILE* log);

// The routine that prices every design point of the driver, the point augmentation's
// included: evaluateObjective, unless a test has installed another (nullptr restores
// evaluateObjective). The point is in the variables' own units, x[1..n].
void setObjectiveForTesting(PricingFunction objective);
double priceDesignPoint(const DVector& x);

}  // namespace designopt
