// Checks the coefficient layout shared by termPoly, pairIndex and modelValue, and the fit
// on exact, degenerate and noisy point sets with the figures it returns (the driver
// prints them; its tests check the report's text).
#include "numeric/quad_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace designopt {
namespace {

// A point set in normalised units with its values.
struct PointSet {
  int n;
  int np;
  DMatrix P;
  DVector y;
};

PointSet makePoints(int n, int np) { return PointSet{n, np, matrix(1, np, 1, n), dvector(1, np)}; }

// Fixed, structureless coordinates in [-1, 1).
double scrambledCoordinate(unsigned& state) {
  state = state * 1103515245u + 12345u;
  return ((state >> 8) % 20000u) / 10000.0 - 1.0;
}

// Value of the model with coefficients c at the one-based point x, written out term by
// term from the layout table so it checks the layout rather than restating the code.
double referenceValue(int n, const std::vector<double>& c, const double* x) {
  double value = c[1];
  int k = 2;
  for (int i = 1; i <= n; ++i) value += c[k++] * x[i];
  for (int i = 1; i <= n; ++i) value += c[k++] * x[i] * x[i];
  for (int a = 1; a < n; ++a)
    for (int b = a + 1; b <= n; ++b) value += c[k++] * x[a] * x[b];
  return value;
}

// Coefficients 1..M (index 0 unused) that are all distinct and non-zero.
std::vector<double> distinctCoefficients(int n) {
  std::vector<double> c(coefficientCount(n) + 1, 0.0);
  for (int k = 1; k <= coefficientCount(n); ++k) c[k] = 0.5 * k - 2.25 * (k % 3);
  return c;
}

// Runs the fit, which prints nothing; returns what it found.
FitQuality fitQuality(PointSet& s, DVector& c, double* maxPosiDiff) {
  ::testing::internal::CaptureStdout();
  const FitQuality fit = fitModel(s.n, s.np, s.P, s.y, c);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  *maxPosiDiff = fit.maxPositiveDiff;
  return fit;
}

// A figure as the fit report prints it, with "%lf".
std::string sixDecimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%lf", value);
  return text;
}

TEST(QuadModelLayout, TermPolyPairIndexAndModelValueAgreeForOneToFourVariables) {
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const int M = coefficientCount(n);
    EXPECT_EQ(M, n == 1 ? 3 : n == 2 ? 6 : n == 3 ? 10 : 15);

    // Coordinates 2, 3, 5, 7: every product of two is distinct.
    const double primes[] = {0, 2, 3, 5, 7};
    DMatrix P = matrix(1, 1, 1, n);
    for (int i = 1; i <= n; ++i) P[1][i] = primes[i];
    DMatrix U = matrix(1, 1, 1, M);
    termPoly(P, U, n, 1);

    EXPECT_EQ(U[1][1], 1.0);
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(U[1][1 + i], primes[i]);
      EXPECT_EQ(U[1][n + 1 + i], primes[i] * primes[i]);
    }
    // Cross columns: (1,2), (1,3), ..., (n-1,n), each where pairIndex says.
    int expectedIndex = 2 * n + 2;
    for (int a = 1; a < n; ++a) {
      for (int b = a + 1; b <= n; ++b) {
        EXPECT_EQ(pairIndex(n, a, b), expectedIndex);
        EXPECT_EQ(U[1][pairIndex(n, a, b)], primes[a] * primes[b]);
        ++expectedIndex;
      }
    }
    EXPECT_EQ(expectedIndex - 1, M);

    // modelValue equals the design-matrix row times c, all M terms included.
    const std::vector<double> coefficients = distinctCoefficients(n);
    DVector c = dvector(1, M);
    for (int k = 1; k <= M; ++k) c[k] = coefficients[k];
    modelContext.n = n;
    modelContext.coefs = &c;
    double row = 0.0;
    for (int k = 1; k <= M; ++k) row += U[1][k] * c[k];
    DVector x = dvector(1, n);
    for (int i = 1; i <= n; ++i) x[i] = primes[i];
    EXPECT_NEAR(modelValue(x.data()), row, 1e-12);
    EXPECT_NEAR(modelValue(x.data()), referenceValue(n, coefficients, x.data()), 1e-12);
    modelContext.coefs = nullptr;
  }
}

TEST(FitModel, ExactOneVariableQuadratic) {
  // y = 1 + 2 x + 3 x^2 at x = -1, 0, 1.
  PointSet s = makePoints(1, 3);
  const double xs[] = {-1, 0, 1};
  for (int j = 1; j <= 3; ++j) {
    s.P[j][1] = xs[j - 1];
    s.y[j] = 1 + 2 * xs[j - 1] + 3 * xs[j - 1] * xs[j - 1];
  }
  DVector c = dvector(1, 3);
  double maxPosiDiff = -1;
  const FitQuality fit = fitQuality(s, c, &maxPosiDiff);
  EXPECT_EQ(sixDecimals(c[1]) + sixDecimals(c[2]) + sixDecimals(c[3]), "1.0000002.0000003.000000");
  EXPECT_EQ(sixDecimals(fit.averageDifference), "0.000000");
  EXPECT_EQ(sixDecimals(fit.rSquare), "1.000000");
  EXPECT_GE(maxPosiDiff, 0.0);
  EXPECT_LT(maxPosiDiff, 1e-12);
}

TEST(FitModel, ReproducesAnExactThreeVariableQuadratic) {
  const int n = 3;
  PointSet s = makePoints(n, 20);
  const std::vector<double> truth = distinctCoefficients(n);
  unsigned state = 99;
  for (int j = 1; j <= s.np; ++j) {
    for (int i = 1; i <= n; ++i) s.P[j][i] = scrambledCoordinate(state);
    s.y[j] = referenceValue(n, truth, s.P[j]);
  }
  DVector c = dvector(1, coefficientCount(n));
  double maxPosiDiff = -1;
  const FitQuality fit = fitQuality(s, c, &maxPosiDiff);
  for (int k = 1; k <= coefficientCount(n); ++k) EXPECT_NEAR(c[k], truth[k], 1e-10) << k;
  EXPECT_GE(maxPosiDiff, 0.0);
  EXPECT_LT(maxPosiDiff, 1e-10);
  EXPECT_EQ(sixDecimals(fit.rSquare), "1.000000");
  EXPECT_EQ(sixDecimals(fit.averageDifference), "0.000000");
}

TEST(FitModel, NoisyFitReturnsTheLargestPositiveResidual) {
  const int n = 2;
  PointSet s = makePoints(n, 12);
  const std::vector<double> truth = distinctCoefficients(n);
  unsigned state = 7;
  for (int j = 1; j <= s.np; ++j) {
    for (int i = 1; i <= n; ++i) s.P[j][i] = scrambledCoordinate(state);
    s.y[j] = referenceValue(n, truth, s.P[j]) + 0.3 * scrambledCoordinate(state);
  }
  DVector c = dvector(1, coefficientCount(n));
  double maxPosiDiff = -1;
  const FitQuality fit = fitQuality(s, c, &maxPosiDiff);

  // Residuals from the fitted coefficients, summed in the same order as the fit.
  DMatrix U = matrix(1, s.np, 1, coefficientCount(n));
  termPoly(s.P, U, n, s.np);
  double largest = 0.0;
  double mean = 0.0;
  for (int j = 1; j <= s.np; ++j) mean += s.y[j];
  mean /= s.np;
  double explained = 0.0;
  double total = 0.0;
  for (int j = 1; j <= s.np; ++j) {
    double yhat = 0.0;
    for (int k = 1; k <= coefficientCount(n); ++k) yhat += U[j][k] * c[k];
    if (s.y[j] - yhat > largest) largest = s.y[j] - yhat;
    explained += (yhat - mean) * (yhat - mean);
    total += (s.y[j] - mean) * (s.y[j] - mean);
  }
  EXPECT_GT(largest, 0.0);
  EXPECT_EQ(maxPosiDiff, largest);
  EXPECT_EQ(sixDecimals(fit.rSquare), sixDecimals(explained / total));
  EXPECT_NE(sixDecimals(fit.rSquare), "1.000000");
}

TEST(FitModel, AllPointsAtTheCentreGiveTheMean) {
  struct Case {
    std::vector<double> values;
    double mean;
    const char* rSquare;
  };
  // Distinct values: nothing is explained (0); equal values: SStot = 0, shown as 1.
  const Case cases[] = {{{1, 2, 3, 6}, 3.0, "0.000000"},
                        {{2.5, 2.5, 2.5, 2.5}, 2.5, "1.000000"}};
  for (const Case& k : cases) {
    const int n = 2;
    PointSet s = makePoints(n, 4);
    for (int j = 1; j <= 4; ++j) {
      s.P[j][1] = 0.0;
      s.P[j][2] = 0.0;
      s.y[j] = k.values[j - 1];
    }
    DVector c = dvector(1, coefficientCount(n));
    double maxPosiDiff = -1;
    const FitQuality fit = fitQuality(s, c, &maxPosiDiff);
    EXPECT_NEAR(c[1], k.mean, 1e-12);
    for (int j = 2; j <= coefficientCount(n); ++j) EXPECT_EQ(c[j], 0.0) << j;
    EXPECT_EQ(sixDecimals(fit.rSquare), k.rSquare);
    EXPECT_NEAR(maxPosiDiff, k.values[3] - k.mean, 1e-12);
  }
}

TEST(FitModel, TooFewOrDependentPointsStillFitTheData) {
  struct Case {
    const char* name;
    int np;
    bool secondVariableFixed;
  };
  // Four points for ten coefficients; nine points with the second variable constant.
  const Case cases[] = {{"fewer points than coefficients", 4, false},
                        {"a variable constant over all points", 9, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const int n = 3;
    PointSet s = makePoints(n, k.np);
    unsigned state = 31;
    for (int j = 1; j <= s.np; ++j) {
      for (int i = 1; i <= n; ++i) s.P[j][i] = scrambledCoordinate(state);
      if (k.secondVariableFixed) s.P[j][2] = 0.5;
      s.y[j] = 10 + s.P[j][1] - 2 * s.P[j][3] * s.P[j][3] + s.P[j][1] * s.P[j][3];
    }
    DVector c = dvector(1, coefficientCount(n));
    double maxPosiDiff = -1;
    fitQuality(s, c, &maxPosiDiff);
    for (int k2 = 1; k2 <= coefficientCount(n); ++k2) EXPECT_TRUE(std::isfinite(c[k2]));
    modelContext.n = n;
    modelContext.coefs = &c;
    for (int j = 1; j <= s.np; ++j) {
      const double* point = s.P[j];
      EXPECT_NEAR(modelValue(point), s.y[j], 1e-9) << "point " << j;
    }
    modelContext.coefs = nullptr;
    EXPECT_LT(maxPosiDiff, 1e-9);
  }
}

}  // namespace
}  // namespace designopt
