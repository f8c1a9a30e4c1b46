// Singular value decomposition of the response-surface design matrix and the
// least-squares back-solve that turns it into model coefficients.
//
// The decomposition is Golub-Reinsch: Householder bidiagonalisation, accumulation of
// the two transformations, then implicit-shift QR steps on the bidiagonal form. The
// order of every floating-point operation is part of the result the optimiser prints,
// so the steps below keep their arithmetic exactly as written; do not regroup sums or
// let the compiler contract them.
//
// It accepts fewer rows than columns (a fit on fewer points than coefficients): the
// reflections then stop at the last row and the surplus singular values come out 0.
#include "numeric/svd.h"

#include <cmath>

namespace designopt {

namespace {

constexpr int kIterationLimit = 30;

// sqrt(p^2 + q^2) without destructive overflow or underflow.
double hypotenuse(double p, double q) {
  const double bigP = std::fabs(p);
  const double bigQ = std::fabs(q);
  if (bigP > bigQ) {
    const double ratio = bigQ / bigP;
    return bigP * std::sqrt(1.0 + ratio * ratio);
  }
  if (bigQ == 0.0) return 0.0;
  const double ratio = bigP / bigQ;
  return bigQ * std::sqrt(1.0 + ratio * ratio);
}

// |magnitude| carrying the sign of signSource (a zero source counts as positive).
double withSignOf(double magnitude, double signSource) {
  return signSource >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// The bidiagonal form being diagonalised: w holds the diagonal, e the superdiagonal
// (e[i] couples w[i - 1] and w[i]; e[1] is always 0). anorm is the size against which
// an element counts as negligible.
struct Bidiagonal {
  DVector& w;
  DVector& e;
  double anorm;

  bool negligible(double value) const { return std::fabs(value) + anorm == anorm; }
};

// Householder reduction of a to upper bidiagonal form. a keeps the reflection vectors
// for the accumulation steps; the diagonal goes to w, the superdiagonal to e.
// Returns anorm.
double bidiagonalise(DMatrix& a, int m, int n, DVector& w, DVector& e) {
  double g = 0.0;
  double scale = 0.0;
  double anorm = 0.0;
  for (int i = 1; i <= n; ++i) {
    const int l = i + 1;
    e[i] = scale * g;

    // Column reflection: zero a[i+1..m][i].
    g = 0.0;
    double s = 0.0;
    scale = 0.0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a[k][i]);
      if (scale != 0.0) {
        for (int k = i; k <= m; ++k) {
          a[k][i] /= scale;
          s += a[k][i] * a[k][i];
        }
        const double f = a[i][i];
        g = -withSignOf(std::sqrt(s), f);
        const double h = f * g - s;
        a[i][i] = f - g;
        for (int j = l; j <= n; ++j) {
          double dot = 0.0;
          for (int k = i; k <= m; ++k) dot += a[k][i] * a[k][j];
          const double factor = dot / h;
          for (int k = i; k <= m; ++k) a[k][j] += factor * a[k][i];
        }
        for (int k = i; k <= m; ++k) a[k][i] *= scale;
      }
    }
    w[i] = scale * g;

    // Row reflection: zero a[i][i+2..n]. There is no row i below the last point, and
    // the last column has no segment to its right.
    g = 0.0;
    s = 0.0;
    scale = 0.0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a[i][k]);
      if (scale != 0.0) {
        for (int k = l; k <= n; ++k) {
          a[i][k] /= scale;
          s += a[i][k] * a[i][k];
        }
        const double f = a[i][l];
        g = -withSignOf(std::sqrt(s), f);
        const double h = f * g - s;
        a[i][l] = f - g;
        for (int k = l; k <= n; ++k) e[k] = a[i][k] / h;
        for (int j = l; j <= m; ++j) {
          double dot = 0.0;
          for (int k = l; k <= n; ++k) dot += a[j][k] * a[i][k];
          for (int k = l; k <= n; ++k) a[j][k] += dot * e[k];
        }
        for (int k = l; k <= n; ++k) a[i][k] *= scale;
      }
    }

    const double size = std::fabs(w[i]) + std::fabs(e[i]);
    if (size > anorm) anorm = size;
  }
  return anorm;
}

// Builds V from the row reflections kept in a; e[i + 1] is the scaled superdiagonal
// element the row reflection of step i produced.
void accumulateRight(const DMatrix& a, int n, const DVector& e, DMatrix& v) {
  double g = 0.0;
  int l = n + 1;
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0.0) {
        // Divide twice rather than by the product, which could underflow.
        for (int j = l; j <= n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
        for (int j = l; j <= n; ++j) {
          double dot = 0.0;
          for (int k = l; k <= n; ++k) dot += a[i][k] * v[k][j];
          for (int k = l; k <= n; ++k) v[k][j] += dot * v[k][i];
        }
      }
      for (int j = l; j <= n; ++j) {
        v[i][j] = 0.0;
        v[j][i] = 0.0;
      }
    }
    v[i][i] = 1.0;
    g = e[i];
    l = i;
  }
}

// Turns a into U from the column reflections it keeps, over the first min(m, n) columns.
void accumulateLeft(DMatrix& a, int m, int n, const DVector& w) {
  const int last = m < n ? m : n;
  for (int i = last; i >= 1; --i) {
    const int l = i + 1;
    double g = w[i];
    for (int j = l; j <= n; ++j) a[i][j] = 0.0;
    if (g != 0.0) {
      g = 1.0 / g;
      for (int j = l; j <= n; ++j) {
        double dot = 0.0;
        for (int k = l; k <= m; ++k) dot += a[k][i] * a[k][j];
        const double factor = (dot / a[i][i]) * g;
        for (int k = i; k <= m; ++k) a[k][j] += factor * a[k][i];
      }
      for (int j = i; j <= m; ++j) a[j][i] *= g;
    } else {
      for (int j = i; j <= m; ++j) a[j][i] = 0.0;
    }
    a[i][i] += 1.0;
  }
}

// Rotates columns p and q of the rows 1..rows of x by the Givens pair (c, s).
void rotateColumns(DMatrix& x, int rows, int p, int q, double c, double s) {
  for (int r = 1; r <= rows; ++r) {
    const double y = x[r][p];
    const double z = x[r][q];
    x[r][p] = y * c + z * s;
    x[r][q] = z * c - y * s;
  }
}

// w[l - 1] is negligible: chase e[l] out of rows l..k with rotations applied to a.
void cancelSuperdiagonal(Bidiagonal& b, DMatrix& a, int m, int l, int k) {
  const int nm = l - 1;
  double c = 0.0;
  double s = 1.0;
  for (int i = l; i <= k; ++i) {
    const double f = s * b.e[i];
    b.e[i] = c * b.e[i];
    if (b.negligible(f)) break;
    const double g = b.w[i];
    double h = hypotenuse(f, g);
    b.w[i] = h;
    h = 1.0 / h;
    c = g * h;
    s = -f * h;
    rotateColumns(a, m, nm, i, c, s);
  }
}

// One implicit-shift QR step on rows and columns l..k, shifted by the eigenvalue of
// the trailing 2 x 2 block nearer its last diagonal element.
void qrStep(Bidiagonal& b, DMatrix& a, DMatrix& v, int m, int n, int l, int k) {
  double x = b.w[l];
  const int nm = k - 1;
  double y = b.w[nm];
  double z = b.w[k];
  double g = b.e[nm];
  double h = b.e[k];
  double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
  g = hypotenuse(f, 1.0);
  f = ((x - z) * (x + z) + h * ((y / (f + withSignOf(g, f))) - h)) / x;

  double c = 1.0;
  double s = 1.0;
  for (int j = l; j <= nm; ++j) {
    const int i = j + 1;
    g = b.e[i];
    y = b.w[i];
    h = s * g;
    g = c * g;
    z = hypotenuse(f, h);
    b.e[j] = z;
    c = f / z;
    s = h / z;
    f = x * c + g * s;
    g = g * c - x * s;
    h = y * s;
    y *= c;
    rotateColumns(v, n, j, i, c, s);

    z = hypotenuse(f, h);
    b.w[j] = z;
    // A zero rotation length keeps the previous rotation.
    if (z != 0.0) {
      z = 1.0 / z;
      c = f * z;
      s = h * z;
    }
    f = c * g + s * y;
    x = c * y - s * g;
    rotateColumns(a, m, j, i, c, s);
  }
  b.e[l] = 0.0;
  b.e[k] = f;
  b.w[k] = x;
}

// Diagonalises the bidiagonal form, k = n down to 1, each value with at most 29 QR steps.
void diagonalise(Bidiagonal& b, DMatrix& a, DMatrix& v, int m, int n) {
  for (int k = n; k >= 1; --k) {
    for (int iteration = 1;; ++iteration) {
      // Find the split: the top of the unreduced block ending at k. e[1] always splits,
      // which also keeps the scan inside the arrays when the entries are not numbers.
      int l = k;
      bool split = false;
      for (; l >= 1; --l) {
        if (l == 1 || b.negligible(b.e[l])) {
          split = true;
          break;
        }
        if (b.negligible(b.w[l - 1])) break;
      }
      if (!split) cancelSuperdiagonal(b, a, m, l, k);

      if (l == k) {
        // Converged; keep the singular value non-negative by flipping its V column.
        if (b.w[k] < 0.0) {
          b.w[k] = -b.w[k];
          for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
        }
        break;
      }
      if (iteration == kIterationLimit) numericFatal("no convergence in 30 svdcmp iterations");
      qrStep(b, a, v, m, n, l, k);
    }
  }
}

}  // namespace

void svdcmp(DMatrix& a, int m, int n, DVector& w, DMatrix& v) {
  DVector e = dvector(1, n);
  Bidiagonal b{w, e, 0.0};
  b.anorm = bidiagonalise(a, m, n, w, e);
  accumulateRight(a, n, e, v);
  accumulateLeft(a, m, n, w);
  diagonalise(b, a, v, m, n);
  releaseDVector(e, 1, n);
}

void svdBackSolve(const DMatrix& u, const DVector& w, const DMatrix& v, int m, int n,
                  const DVector& b, DVector& x) {
  DVector t = dvector(1, n);
  // t = diag(1 / w) U^T b, with the dropped singular values contributing nothing.
  for (int j = 1; j <= n; ++j) {
    t[j] = 0.0;
    if (w[j] == 0.0) continue;
    double dot = 0.0;
    for (int i = 1; i <= m; ++i) dot += u[i][j] * b[i];
    t[j] = dot / w[j];
  }
  // x = V t.
  for (int j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (int k = 1; k <= n; ++k) sum += v[j][k] * t[k];
    x[j] = sum;
  }
  releaseDVector(t, 1, n);
}

}  // namespace designopt
