// Golub-Reinsch singular value decomposition and the least-squares back-solve.
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// Decomposes a[1..m][1..n] = U diag(w) V^T in place: a receives U, w[1..n] the
// singular values (non-negative, unsorted), v[1..n][1..n] receives V itself.
// Ends the process through numericFatal when a singular value does not converge.
void svdcmp(DMatrix& a, int m, int n, DVector& w, DMatrix& v);

// x = V diag(1 / w_j) U^T b, leaving out every w_j that is exactly 0.
void svdBackSolve(const DMatrix& u, const DVector& w, const DMatrix& v, int m, int n,
                  const DVector& b, DVector& x);

}  // namespace designopt
