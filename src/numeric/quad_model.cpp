// The quadratic response surface: its design matrix, the least-squares fit with the
// figures of the report the designer reads after every fit, and its evaluation at a
// point.
//
// The fit truncates singular values below 0.0001 of the largest, so a point set with
// too few or dependent points (fewer points than coefficients, a variable constant over
// all points) still yields the minimum-norm coefficients instead of a blow-up.
#include "numeric/quad_model.h"

#include <cmath>

#include "numeric/svd.h"

namespace designopt {

ModelContext modelContext;

namespace {
// Singular values below this fraction of the largest are treated as zero.
constexpr double kSingularValueCutoff = 0.0001;
}  // namespace

void termPoly(const DMatrix& P, DMatrix& U, int n, int np) {
  for (int j = 1; j <= np; ++j) {
    const double* x = P[j];
    U[j][1] = 1.0;
    for (int i = 1; i <= n; ++i) U[j][1 + i] = x[i];
    for (int i = 1; i <= n; ++i) U[j][n + 1 + i] = x[i] * x[i];
    int column = 2 * n + 2;
    for (int a = 1; a <= n - 1; ++a) {
      for (int b = a + 1; b <= n; ++b) {
        U[j][column] = x[b] * x[a];
        ++column;
      }
    }
  }
}

FitQuality fitModel(int n, int np, const DMatrix& P, const DVector& y, DVector& c) {
  const int M = coefficientCount(n);
  DMatrix U0 = matrix(1, np, 1, M);
  DVector w = dvector(1, M);
  DMatrix U = matrix(1, np, 1, M);
  DMatrix V = matrix(1, M, 1, M);

  // The decomposition overwrites U; U0 keeps the design matrix for the statistics.
  termPoly(P, U, n, np);
  for (int i = 1; i <= np; ++i)
    for (int j = 1; j <= M; ++j) U0[i][j] = U[i][j];

  svdcmp(U, np, M, w, V);

  // Drop the directions the points do not determine.
  double wmax = 0.0;
  for (int j = 1; j <= M; ++j)
    if (w[j] > wmax) wmax = w[j];
  const double threshold = kSingularValueCutoff * wmax;
  for (int j = 1; j <= M; ++j)
    if (w[j] < threshold) w[j] = 0.0;

  svdBackSolve(U, w, V, np, M, y, c);

  double sumY = 0.0;
  for (int i = 1; i <= np; ++i) sumY += y[i];
  const double mean = sumY / np;

  double ssTot = 0.0;
  double ssReg = 0.0;
  double sumAbsDiff = 0.0;
  double maxPosiDiff = 0.0;
  for (int i = 1; i <= np; ++i) {
    double yhat = 0.0;
    for (int j = 1; j <= M; ++j) yhat += U0[i][j] * c[j];
    ssTot += (y[i] - mean) * (y[i] - mean);
    ssReg += (yhat - mean) * (yhat - mean);
    sumAbsDiff += std::fabs(yhat - y[i]);
    if (y[i] - yhat > maxPosiDiff) maxPosiDiff = y[i] - yhat;
  }
  FitQuality fit;
  fit.averageDifference = sumAbsDiff / np;
  // Equal values everywhere leave nothing to explain: the surface fits them fully.
  fit.rSquare = ssTot == 0.0 ? 1.0 : ssReg / ssTot;
  fit.maxPositiveDiff = maxPosiDiff;

  releaseMatrix(V, 1, M, 1, M);
  releaseMatrix(U, 1, np, 1, M);
  releaseDVector(w, 1, M);
  releaseMatrix(U0, 1, np, 1, M);
  return fit;
}

double modelValueOf(int n, const DVector& c, const double* x) {
  double value = c[1];
  for (int i = 1; i <= n; ++i) value += x[i] * c[1 + i];
  for (int i = 1; i <= n; ++i) value += x[i] * x[i] * c[n + 1 + i];
  int pair = 2 * n + 2;
  for (int a = 1; a <= n - 1; ++a) {
    for (int b = a + 1; b <= n; ++b) {
      value += c[pair] * x[a] * x[b];
      ++pair;
    }
  }
  return value;
}

double modelValue(const double* x) { return modelValueOf(modelContext.n, *modelContext.coefs, x); }

}  // namespace designopt
