// Random Latin hypercube designs and the random permutations behind them.
//
// The design is in stratum units: each caller maps it onto its own ranges. Every
// deviate comes from the shuffled generator with the caller's seed variable, in a
// fixed order (all permutations first, then all offsets), so a design is repeatable
// from its seed.
#include "sampling/latin_hypercube.h"

#include "random/random_generators.h"

namespace designopt {

void randomPermutation(int n, IVector& perm, std::int32_t& seed) {
  // All n deviates are drawn before the first swap.
  DVector r = dvector(1, n);
  for (int i = 1; i <= n; ++i) {
    perm[i] = i;
    r[i] = shuffledUniform(seed);
  }

  // Swap each entry, last to first, with one at or before it; the deviates stay below 1,
  // so j never passes k.
  for (int k = n; k >= 1; --k) {
    const int j = static_cast<int>(k * r[k]) + 1;
    const std::int32_t held = perm[k];
    perm[k] = perm[j];
    perm[j] = held;
  }
  releaseDVector(r, 1, n);
}

void latinHypercube(int nVar, int nPoints, DMatrix& design, std::int32_t& seed) {
  DMatrix strata = matrix(1, nPoints, 1, nVar);
  DMatrix offsets = matrix(1, nPoints, 1, nVar);
  IVector perm = ivector(1, nPoints);

  // One permutation of the strata per variable.
  for (int v = 1; v <= nVar; ++v) {
    randomPermutation(nPoints, perm, seed);
    for (int p = 1; p <= nPoints; ++p) strata[p][v] = perm[p];
  }

  // Then one offset per point, variable by variable.
  for (int v = 1; v <= nVar; ++v) {
    for (int p = 1; p <= nPoints; ++p) offsets[p][v] = shuffledUniform(seed);
  }

  // The offset lies in (0, 0.99999988], so the value stays strictly inside its stratum.
  for (int p = 1; p <= nPoints; ++p) {
    for (int v = 1; v <= nVar; ++v) design[p][v] = strata[p][v] - offsets[p][v];
  }

  releaseIVector(perm, 1, nPoints);
  releaseMatrix(offsets, 1, nPoints, 1, nVar);
  releaseMatrix(strata, 1, nPoints, 1, nVar);
}

}  // namespace designopt
