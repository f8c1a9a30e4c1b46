// Checks the decomposition (orthonormal factors, reconstruction, unsorted non-negative
// singular values, wide matrices) and the truncated back-solve the fit relies on.
#include "numeric/svd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace designopt {
namespace {

// A decomposed m x n matrix with a copy of the original for comparisons.
struct Decomposition {
  int m;
  int n;
  DMatrix original;
  DMatrix u;
  DVector w;
  DMatrix v;
};

// rows holds the matrix row by row.
Decomposition decompose(int m, int n, const std::vector<double>& rows) {
  Decomposition d{m, n, matrix(1, m, 1, n), matrix(1, m, 1, n), dvector(1, n), matrix(1, n, 1, n)};
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) {
      d.original[i][j] = rows[(i - 1) * n + (j - 1)];
      d.u[i][j] = d.original[i][j];
    }
  }
  svdcmp(d.u, m, n, d.w, d.v);
  return d;
}

void expectReconstructs(const Decomposition& d, double tolerance) {
  for (int i = 1; i <= d.m; ++i) {
    for (int j = 1; j <= d.n; ++j) {
      double sum = 0.0;
      for (int k = 1; k <= d.n; ++k) sum += d.u[i][k] * d.w[k] * d.v[j][k];
      EXPECT_NEAR(sum, d.original[i][j], tolerance) << "element " << i << "," << j;
    }
  }
}

// Columns listed in `columns` of x (rows 1..rows) are orthonormal.
void expectOrthonormalColumns(const DMatrix& x, int rows, const std::vector<int>& columns) {
  for (int p : columns) {
    for (int q : columns) {
      double dot = 0.0;
      for (int r = 1; r <= rows; ++r) dot += x[r][p] * x[r][q];
      EXPECT_NEAR(dot, p == q ? 1.0 : 0.0, 1e-12) << "columns " << p << "," << q;
    }
  }
}

std::vector<int> allColumns(int n) {
  std::vector<int> columns;
  for (int j = 1; j <= n; ++j) columns.push_back(j);
  return columns;
}

// The fit's truncation: singular values below 0.0001 of the largest become 0.
void truncate(DVector& w, int n) {
  double wmax = 0.0;
  for (int j = 1; j <= n; ++j)
    if (w[j] > wmax) wmax = w[j];
  for (int j = 1; j <= n; ++j)
    if (w[j] < 0.0001 * wmax) w[j] = 0.0;
}

std::vector<double> backSolve(const Decomposition& d, const std::vector<double>& rhs) {
  DVector b = dvector(1, d.m);
  DVector x = dvector(1, d.n);
  for (int i = 1; i <= d.m; ++i) b[i] = rhs[i - 1];
  svdBackSolve(d.u, d.w, d.v, d.m, d.n, b, x);
  return std::vector<double>(x.data() + 1, x.data() + 1 + d.n);
}

// A fixed, well-spread matrix without structure: entries in [-1, 1).
std::vector<double> scrambled(int count, unsigned seed) {
  std::vector<double> values;
  unsigned state = seed;
  for (int k = 0; k < count; ++k) {
    state = state * 1103515245u + 12345u;
    values.push_back(((state >> 8) % 20000u) / 10000.0 - 1.0);
  }
  return values;
}

TEST(Svdcmp, DiagonalMatrixKeepsItsOrderAndMakesValuesNonNegative) {
  Decomposition d = decompose(3, 3, {3, 0, 0, 0, -2, 0, 0, 0, 5});
  EXPECT_DOUBLE_EQ(d.w[1], 3.0);
  EXPECT_DOUBLE_EQ(d.w[2], 2.0);
  EXPECT_DOUBLE_EQ(d.w[3], 5.0);
  expectReconstructs(d, 1e-14);
}

TEST(Svdcmp, TallMatrixHasOrthonormalFactorsAndReconstructs) {
  const int m = 7;
  const int n = 4;
  Decomposition d = decompose(m, n, scrambled(m * n, 17));
  for (int j = 1; j <= n; ++j) EXPECT_GT(d.w[j], 0.0);
  expectOrthonormalColumns(d.u, m, allColumns(n));
  expectOrthonormalColumns(d.v, n, allColumns(n));
  expectReconstructs(d, 1e-13);
}

TEST(Svdcmp, KnownSingularValues) {
  // A^T A = [[25, 20], [20, 25]]: eigenvalues 45 and 5.
  Decomposition d = decompose(2, 2, {3, 0, 4, 5});
  const double larger = std::fmax(d.w[1], d.w[2]);
  const double smaller = std::fmin(d.w[1], d.w[2]);
  EXPECT_NEAR(larger, std::sqrt(45.0), 1e-14);
  EXPECT_NEAR(smaller, std::sqrt(5.0), 1e-14);
  expectReconstructs(d, 1e-14);
}

TEST(Svdcmp, WideMatrixReconstructsAndSolvesExactly) {
  // Fewer rows than columns, as in a fit on fewer points than coefficients.
  const int m = 2;
  const int n = 4;
  Decomposition d = decompose(m, n, scrambled(m * n, 5));
  int zeros = 0;
  std::vector<int> live;
  for (int j = 1; j <= n; ++j) {
    EXPECT_GE(d.w[j], 0.0);
    if (d.w[j] < 1e-12) {
      ++zeros;
    } else {
      live.push_back(j);
    }
  }
  EXPECT_EQ(zeros, n - m);
  expectOrthonormalColumns(d.u, m, live);
  expectOrthonormalColumns(d.v, n, allColumns(n));
  expectReconstructs(d, 1e-14);

  // Underdetermined: the truncated solve meets both equations.
  truncate(d.w, n);
  const std::vector<double> x = backSolve(d, {0.7, -1.3});
  const double rhs[] = {0.7, -1.3};
  for (int i = 1; i <= m; ++i) {
    double row = 0.0;
    for (int j = 1; j <= n; ++j) row += d.original[i][j] * x[j - 1];
    EXPECT_NEAR(row, rhs[i - 1], 1e-13);
  }
}

TEST(Svdcmp, ZeroMatrixGivesZeroValuesAndZeroSolution) {
  Decomposition d = decompose(3, 2, {0, 0, 0, 0, 0, 0});
  EXPECT_EQ(d.w[1], 0.0);
  EXPECT_EQ(d.w[2], 0.0);
  const std::vector<double> x = backSolve(d, {1, 2, 3});
  EXPECT_EQ(x[0], 0.0);
  EXPECT_EQ(x[1], 0.0);
}

TEST(Svdcmp, EqualColumnsShareTheWeightAfterTruncation) {
  // Columns 2 and 3 are equal; b = A (1, 2, 0), whose minimum-norm form is (1, 1, 1).
  Decomposition d = decompose(4, 3, {1, 2, 2, 1, -1, -1, 0, 3, 3, 2, 1, 1});
  int tiny = 0;
  double wmax = 0.0;
  for (int j = 1; j <= 3; ++j) wmax = std::fmax(wmax, d.w[j]);
  for (int j = 1; j <= 3; ++j)
    if (d.w[j] < 1e-12 * wmax) ++tiny;
  EXPECT_EQ(tiny, 1);

  truncate(d.w, 3);
  const std::vector<double> x = backSolve(d, {5, -1, 6, 4});
  EXPECT_NEAR(x[0], 1.0, 1e-13);
  EXPECT_NEAR(x[1], 1.0, 1e-13);
  EXPECT_NEAR(x[2], 1.0, 1e-13);
}

TEST(SvdBackSolve, LeastSquaresOnOverdeterminedSystem) {
  // Line through (0, 1), (1, 2), (2, 4): least squares gives 5/6 + 1.5 t.
  Decomposition d = decompose(3, 2, {1, 0, 1, 1, 1, 2});
  const std::vector<double> x = backSolve(d, {1, 2, 4});
  EXPECT_NEAR(x[0], 5.0 / 6.0, 1e-14);
  EXPECT_NEAR(x[1], 1.5, 1e-14);
}

TEST(SvdcmpDeathTest, EntryThatIsNotANumberNeverConverges) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EXIT(decompose(2, 2, {1, 2, nan, 4}), ::testing::ExitedWithCode(1),
              "^Numeric run-time error\\.\\.\\.\nno convergence in 30 svdcmp "
              "iterations\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
}  // namespace designopt
