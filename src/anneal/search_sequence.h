// The one search sequence that every annealing search of designopt follows:
// SAInit, a random start in [-1, 1]^n, heating, cooling from the heated temperature
// times a factor, and the energy at the best point as the result.
#pragma once

#include "anneal/annealer.h"
#include "numeric/one_based.h"

namespace designopt {

// x is a DVector 1..n whose storage 0..n is the engine's point (dimension n + 1).
// Start coordinates are drawn for k = 1..n in order, leaving out skippedCoordinate
// (0 leaves out none). On return x holds the best point; returns cost(best).
// A failing SAInit ends the process with "trouble initializing in SAInit\n".
double annealingSearch(CostFunction cost, DVector& x, int n, double temperatureFactor,
                       int skippedCoordinate = 0);

}  // namespace designopt
