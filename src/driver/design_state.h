// The driver's working set for one design: the ranges, the evaluated points, the
// fitted model, the constrained optimum, the best feasible design and the sampling
// seed. One DesignState lives for one call of optimiseDesign; it is filled by the
// reading of "input.dat" (problem_file.h) and worked on by the design iterations and
// their refinement cycles.
//
// The arrays own their storage (one-based RAII arrays), so a DesignState that goes
// out of scope frees everything; releaseDesignState frees the arrays earlier, at the
// point where the run ends.
#pragma once

#include "numeric/one_based.h"
#include "numeric/quad_model.h"
#include "sampling/point_set.h"

namespace designopt {

struct DesignState {
  // Number of design variables n, from "input.dat" (3 for the grille console).
  int nVars = 0;
  // Coefficient count m of the quadratic model, coefficientCount(nVars) (10 for
  // n = 3). Set with nVars.
  int nCoefs = 0;

  // Ranges before the latest cut, 1..n, in each variable's own unit: the frame in
  // which the current model was fitted and its constrained optimum is sought. Set from
  // "input.dat", then by the refinement cycles.
  DVector prevLower;
  DVector prevUpper;
  // Current ranges, 1..n, own units. Set from "input.dat", then by the cutting;
  // restored from the previous ranges when a refinement cycle adds points.
  DVector curLower;
  DVector curUpper;

  // Evaluated points in the variables' own units (length in inches, tolerance, Tc),
  // 1..kPointCapacity x 1..n; rows 1..nPoints in use. Set by the sampling.
  DMatrix points;
  // The same points normalised to [-1, 1] over the current ranges,
  // 1..kPointCapacity x 1..n. Set by the refinement cycles before each fit.
  DMatrix normPoints;
  // Objective value (production cost) of each point, 1..kPointCapacity.
  DVector funcValues;
  // Number of points held in points / funcValues. Set by the sampling and the
  // refinement cycles.
  int nPoints = 0;

  // Coefficients of the fitted quadratic model, 1..m: constant, linear terms,
  // squares, cross products by pair. Set by each fit.
  DVector coefs;
  // Scratch for the points a refinement cycle adds, 1..m x 1..n (rows 1..n used).
  DMatrix extraPoints;

  // Constrained optimum of the fitted model, 1..n, own units. Set by the constrained
  // search of each iteration.
  DVector xOpt;
  // Objective value at xOpt, priced by the driver.
  double fOpt = 0.0;
  // Best feasible design found so far, 1..n, own units; 1e8 in every variable until a
  // feasible design is found. Set by the driver, then by updateBestFeasible.
  DVector xBest;
  // Objective value of xBest; 1e8 until a feasible design is found.
  double fBest = 0.0;
  // True once updateBestFeasible has accepted a point or an optimum of this design.
  // Set false with the starting best in iteration 1; the only test of whether xBest
  // is a design (a feasible design may cost 1e8 or more).
  bool feasibleFound = false;

  // Seed variable of the Latin hypercube designs: starts at 0, advanced by
  // initialDesign and addNewPoints (passed by reference).
  int seed = 0;
  // Design iteration number, from 1. Set by the driver.
  int iteration = 0;

  // Refinement-cycle state, set by the refinement cycles: whether the designer asked
  // for more points (starts false), the points added in this iteration, the largest
  // positive difference between model and objective, the model's minimum, and
  // whether the model passed the concavity check.
  bool morePointsAsked = false;
  int nAdded = 0;
  double maxPositiveDiff = 0.0;
  double modelMin = 0.0;
  bool concavityCheckPassed = false;
};

// Starts a fresh state for n variables: every scalar back to its start value, nVars
// and nCoefs set, and every array allocated with its capacity. Allocation failure is
// fatal (numericFatal).
inline void allocateDesignState(DesignState& state, int n) {
  state = DesignState{};
  state.nVars = n;
  state.nCoefs = coefficientCount(n);
  const int m = state.nCoefs;
  state.prevLower = dvector(1, n);
  state.prevUpper = dvector(1, n);
  state.curLower = dvector(1, n);
  state.curUpper = dvector(1, n);
  state.points = matrix(1, kPointCapacity, 1, n);
  state.normPoints = matrix(1, kPointCapacity, 1, n);
  state.funcValues = dvector(1, kPointCapacity);
  state.coefs = dvector(1, m);
  state.extraPoints = matrix(1, m, 1, n);
  state.xOpt = dvector(1, n);
  state.xBest = dvector(1, n);
}

// Releases every array of the state, with the bounds it was allocated with. The
// scalars keep their values.
inline void releaseDesignState(DesignState& state) {
  const int n = state.nVars;
  const int m = state.nCoefs;
  releaseDVector(state.prevLower, 1, n);
  releaseDVector(state.prevUpper, 1, n);
  releaseDVector(state.curLower, 1, n);
  releaseDVector(state.curUpper, 1, n);
  releaseMatrix(state.points, 1, kPointCapacity, 1, n);
  releaseMatrix(state.normPoints, 1, kPointCapacity, 1, n);
  releaseDVector(state.funcValues, 1, kPointCapacity);
  releaseDVector(state.coefs, 1, m);
  releaseMatrix(state.extraPoints, 1, m, 1, n);
  releaseDVector(state.xOpt, 1, n);
  releaseDVector(state.xBest, 1, n);
}

}  // namespace designopt
