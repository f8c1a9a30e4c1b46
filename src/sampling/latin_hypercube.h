// Random Latin hypercube designs in stratum units: in every variable each of the
// nPoints strata (s - 1, s) holds exactly one point.
#pragma once

#include <cstdint>

#include "numeric/one_based.h"

namespace designopt {

// Fills perm[1..n] with a random permutation of 1..n (n deviates, drawn before any swap).
void randomPermutation(int n, IVector& perm, std::int32_t& seed);

// Fills design[1..nPoints][1..nVar]; consumes 2 * nVar * nPoints deviates.
void latinHypercube(int nVar, int nPoints, DMatrix& design, std::int32_t& seed);

}  // namespace designopt
