// The search sequence shared by the model minimum, the constrained optimum and the
// cutting searches: one SAInit, a random start, heating, cooling, and the energy at the
// best point. The discarded evaluations are kept: cost functions may count their calls.
#include "anneal/search_sequence.h"

#include <cstdio>
#include <cstdlib>

namespace designopt {

namespace {
constexpr double kSearchAcceptK = 0.5;
constexpr int kHeatingIterations = -1;  // the engine's default count
constexpr int kCoolingIterations = 5000;
}  // namespace

double annealingSearch(CostFunction cost, DVector& x, int n, double temperatureFactor,
                       int skippedCoordinate) {
  if (SAInit(cost, n + 1) == 0) {
    std::fprintf(stderr, "trouble initializing in SAInit\n");
    std::exit(1);
  }

  // Random start in [-1, 1]^n, drawn in coordinate order right after the reseeding.
  // The spare element is moved by the engine but read by no cost function.
  x[0] = 0.0;
  for (int k = 1; k <= n; ++k) {
    if (k == skippedCoordinate) continue;
    x[k] = 2 * annealerUniform() - 1;
  }
  double* point = x.data();
  cost(point);

  // Heat from the start point.
  SASetStart(point);
  SASetAcceptK(kSearchAcceptK);
  SAHeat(kHeatingIterations);
  SAGetCurrent(point);
  cost(point);

  // Cool from the heated temperature times the search's factor.
  SASetTemp(temperatureFactor * SASetTemp(-1));
  SACool(kCoolingIterations);
  SAGetCurrent(point);
  cost(point);

  SAGetBest(point);
  return cost(point);
}

}  // namespace designopt
