// The performance requirements as constraints g(y) <= 0 on a physical design point
// and the keeping of the best feasible design. The capacity and NC come from the same
// formulas as the performance model, so unpriced points are judged without running
// the workbook.
#include "product/constraints.h"

#include <cmath>

#include "product/evaluation_counters.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {

namespace {

// Face velocity (feet per minute) the TN constraints would use; held at 0 so that
// constraints 3 and 4 mean 2.1 <= Tc - roomTemperature <= 5.1.
constexpr double kAirVelocity = 0.0;

// A constraint counts as satisfied below this (strictly).
constexpr double kFeasibilityTolerance = 1e-6;

}  // namespace

void evaluateConstraints(const double* y, DVector& g, int& neq, int& ncon) {
  const ProductSpec& grille = productSpec;
  const double length = y[1];
  const double tc = y[3];
  const double w = grille.grilleWidth;
  const double tnc = draftTemperatureFigure(grille.roomTemperature, tc, kAirVelocity);

  g[1] = grille.requiredCfm - grilleCapacity(length, w, grille.flowCoefficient);
  g[2] = noiseCriterion(length, grille.staticPressure, w) - grille.maxNC;
  g[3] = -tnc - 3;
  g[4] = tnc;
  neq = 0;
  ncon = 4;
}

bool isFeasible(const double* y) {
  DVector g = dvector(1, kMaxConstraints);
  int neq = 0;
  int ncon = 0;
  evaluateConstraints(y, g, neq, ncon);
  for (int i = 1; i <= neq; ++i) {
    if (!(std::fabs(g[i]) < kFeasibilityTolerance)) return false;
  }
  for (int i = neq + 1; i <= ncon; ++i) {
    if (!(g[i] < kFeasibilityTolerance)) return false;
  }
  return true;
}

bool updateBestFeasible(int n, int m, const DMatrix& points, const DVector& values,
                        const DVector& optimumPoint, double optimumValue,
                        DVector& bestDesign, double& bestValue) {
  bool accepted = false;
  // The evaluated points in their order: only a strictly lower feasible value
  // improves, so the first of equal values wins and an earlier best is never
  // displaced by an equal one.
  for (int k = 1; k <= m; ++k) {
    if (!isFeasible(points[k])) continue;
    if (!(values[k] < bestValue)) continue;
    bestValue = values[k];
    for (int i = 1; i <= n; ++i) bestDesign[i] = points[k][i];
    evaluationsToOptimum = evaluationCount;
    accepted = true;
  }

  // The optimum of the constrained search must beat every feasible evaluated point.
  if (optimumValue < bestValue && isFeasible(optimumPoint.data())) {
    bestValue = optimumValue;
    for (int i = 1; i <= n; ++i) bestDesign[i] = optimumPoint[i];
    evaluationsToOptimum = evaluationCount;
    accepted = true;
  }
  return accepted;
}

}  // namespace designopt
