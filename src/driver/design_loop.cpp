// The design iteration loop and its initial design.
#include "driver/design_loop.h"

#include <cstdio>

#include "cutting/cutting.h"
#include "driver/design_state.h"
#include "driver/problem_file.h"
#include "driver/refinement_cycles.h"
#include "driver/run_log.h"
#include "modelsearch/model_minimisation.h"
#include "numeric/quad_model.h"
#include "platform/console_answers.h"
#include "product/constraints.h"
#include "product/evaluation_counters.h"
#include "product/product_record.h"
#include "runlog/run_log_format.h"
#include "sampling/latin_hypercube.h"
#include "sampling/point_augmentation.h"

namespace designopt {

namespace {

void printIterationHeading(int iteration, std::FILE* log) {
  std::printf("\n\n %%%%%%%%%%\t Design Iteration %d  %%%%%%%%%%\n\n", iteration);
  writeIterationHeading(log, iteration);
}

// The pricing of a point that addNewPoints adds: after each one the designer presses a
// key, read and thrown away here (beside the confirmation the pricing itself reads).
double priceNewPoint(const DVector& x) {
  const double cost = priceDesignPoint(x);
  readCharacter();
  return cost;
}

// Iteration 1 samples the initial design and starts the counters and the best design
// afresh; later iterations renew the point set for the cut ranges.
void samplePoints(DesignState& state, std::FILE* log) {
  const int n = state.nVars;
  if (state.iteration == 1) {
    state.nPoints = initialDesign(n, state.prevLower, state.prevUpper, state.points, state.funcValues, state.seed);
    evaluationCount = state.nPoints;
    evaluationsToOptimum = state.nPoints;
    state.fBest = kNoBestYet;
    for (int j = 1; j <= n; ++j) state.xBest[j] = kNoBestYet;
    state.feasibleFound = false;
    return;
  }
  int priced = 0;
  state.nPoints = addNewPoints(n, state.nPoints, state.prevLower, state.prevUpper, state.curLower, state.curUpper,
                           state.points, state.funcValues, state.xOpt, state.fOpt, state.seed, priceNewPoint,
                           priced);
  evaluationCount += priced;
  writeNewSampleCount(log, priced);
}

void printTotals(const DesignState& state) {
  std::printf("\n\n The total number of objective function evaluations is %d", evaluationCount);
  std::printf("\n\n To reach optimum, the total number of function evaluations is %d",
              evaluationsToOptimum);
  std::printf("\n\n The globlal minimum of the objective function is %lf", state.fBest);
  std::printf("\n\n *****  Are you happy with the results? No: return, Yes: Enter 'y' : ");
}

// The closing block in the log and on the console; hands the best design back.
BestDesign reportBestDesign(const DesignState& state, std::FILE* log) {
  writeClosingBlock(log, evaluationCount, evaluationsToOptimum, state.fBest, state.nVars,
                    state.xBest, state.feasibleFound);
  std::printf("\n\n The best design is at: ");
  for (int j = 1; j <= state.nVars; ++j) std::printf("%lf\t", state.xBest[j]);
  productSpec.bestLength = state.xBest[1];
  std::printf("\n\n\n");

  BestDesign best;
  best.feasible = state.feasibleFound;
  best.length = state.xBest[1];
  best.tolerance = state.xBest[2];
  return best;
}

}  // namespace

int initialDesign(int n, const DVector& lower, const DVector& upper, DMatrix& points,
                  DVector& funcValues, std::int32_t& seed) {
  const int m = coefficientCount(n);
  latinHypercube(n, m, points, seed);

  // From stratum units (0, m) into each variable's range.
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) {
      points[i][j] = points[i][j] * (1.0 / m);
      points[i][j] = lower[j] + (upper[j] - lower[j]) * points[i][j];
    }
  }

  DVector x = dvector(1, n);
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) x[j] = points[i][j];
    funcValues[i] = priceDesignPoint(x);
  }
  releaseDVector(x, 1, n);
  return m;
}

BestDesign optimiseDesign() {
  DesignState state;
  std::FILE* log = readProblemFile(state);
  state.seed = 0;
  state.morePointsAsked = false;
  state.iteration = 1;
  const int n = state.nVars;

  for (;;) {
    printIterationHeading(state.iteration, log);
    samplePoints(state, log);

    state.nAdded = 0;
    runRefinementCycles(state, log);

    // Price the constrained optimum of the last model and keep the best feasible design.
    optimiseConstrained(n, state.prevLower, state.prevUpper, state.coefs, state.xOpt);
    state.fOpt = priceDesignPoint(state.xOpt);
    std::printf(" and Real fOpt = %lf\n", state.fOpt);
    ++evaluationCount;
    if (updateBestFeasible(n, state.nPoints, state.points, state.funcValues, state.xOpt, state.fOpt, state.xBest,
                           state.fBest)) {
      state.feasibleFound = true;
    }
    writeIterationSummary(log, state.iteration, n, state.nPoints, state.prevLower, state.prevUpper, state.points,
                          state.funcValues, state.xOpt, state.fOpt, cuttingValue);

    printTotals(state);
    ++state.iteration;
    if (readSingleKey('y') == 'y') break;
  }

  const BestDesign best = reportBestDesign(state, log);
  // The model context points into the state's coefficients, which end with the design.
  forgetModel();
  releaseDesignState(state);
  closeRunLog(log);
  return best;
}

}  // namespace designopt
