// The full quadratic response surface (QuadModel) over n normalised variables and the
// process-wide ModelContext through which the cost functions find the current model.
//
// Coefficient layout, c[1..M] with M = (n + 1)(n + 2) / 2: the constant, the n linear
// terms, the n squares, then the cross products x_a x_b for a < b ordered by a, then b.
//
// Points handed to modelValue and the cost functions are one-based views: x[1..n] are
// the coordinates and x[0] is the spare element, never read. A DVector passes data().
#pragma once

#include "numeric/one_based.h"

namespace designopt {

struct ModelContext {
  int n = 0;                           // variable count of the current model
  const DVector* coefs = nullptr;      // the driver's coefficient vector, by reference
  // (upper - lower) * 0.5 and (lower + upper) * 0.5 of the ranges the model was fitted
  // on; published only while the constrained search runs, nullptr otherwise.
  const DVector* halfWidths = nullptr;
  const DVector* centres = nullptr;
};
extern ModelContext modelContext;

// Coefficient count M of the quadratic model in n variables, (n + 1)(n + 2)/2.
inline int coefficientCount(int n) { return (n + 1) * (n + 2) / 2; }

// Weight of every squared excursion in the penalties the model searches add to the
// model: beyond the box [-1, 1]^n, and beyond a performance constraint.
constexpr double kPenaltyWeight = 100000000.0;

// x in the model's normalised frame [-1, 1] over the range lower..upper: the points
// are fitted, and logged, in this frame, in this order of operations. A range of zero
// width (a bound written with three decimals can collapse one) has no scale: every x
// maps to its centre, 0, instead of dividing by zero.
inline double normaliseToRange(double x, double lower, double upper) {
  const double halfWidth = (upper - lower) * 0.5;
  if (halfWidth == 0.0) return 0.0;
  return (x - (upper + lower) * 0.5) / halfWidth;
}

// Index of the coefficient of x_a x_b, a < b.
inline int pairIndex(int n, int a, int b) { return 2 * n + 1 + (a - 1) * (2 * n - a) / 2 + (b - a); }

// Design matrix: U[j][1..M] from the point in row j of P, for j = 1..np.
void termPoly(const DMatrix& P, DMatrix& U, int n, int np);

// What a fit found about how well the surface follows its points; the driver prints it
// as the fit report.
struct FitQuality {
  double averageDifference = 0.0;  // mean |fitted - observed| over the points
  double rSquare = 0.0;            // SSreg / SStot; 1 when every value is equal (SStot = 0)
  double maxPositiveDiff = 0.0;    // how far the worst point lies above the surface, >= 0
};

// Least-squares fit by truncated SVD into c[1..M]; prints nothing and returns what it
// found, maxPositiveDiff among it.
FitQuality fitModel(int n, int np, const DMatrix& P, const DVector& y, DVector& c);

// Value of the model with coefficients c[1..M] over n variables at the one-based point
// x[1..n]: the one evaluation of the quadratic model, for the searches (through
// modelValue) and for the run report alike.
double modelValueOf(int n, const DVector& c, const double* x);

// Value of the model held by modelContext at the one-based point x[1..n].
double modelValue(const double* x);

}  // namespace designopt
