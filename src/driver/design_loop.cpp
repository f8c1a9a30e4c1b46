// The design iteration loop and its initial design.
#include "driver/design_loop.h"

#include <cstdio>

#include "anneal/model_minimisation.h"
#include "cutting/cutting.h"
#include "driver/design_state.h"
#include "driver/problem_file.h"
#include "driver/refinement_cycles.h"
#include "driver/run_log.h"
#include "numeric/quad_model.h"
#include "platform/console_answers.h"
#include "product/constraints.h"
#include "product/evaluation_counters.h"
#include "product/product_record.h"
#include "sampling/latin_hypercube.h"
#include "sampling/point_augmentation.h"

namespace designopt {

namespace {

void printIterationHeading(int iteration, std::FILE* log) {
  std::printf("\n\n %%%%%%%%%%\t Design Iteration %d  %%%%%%%%%%\n\n", iteration);
  std::fprintf(log, "\n\n ======== Design  Iteration %d =========== \n\n", iteration);
}

// Iteration 1 samples the initial design and starts the counters and the best design
// afresh; later iterations renew the point set for the cut ranges.
void samplePoints(DesignState& s, std::FILE* log) {
  const int n = s.nVars;
  if (s.iteration == 1) {
    s.nPoints = initialDesign(n, s.prevLower, s.prevUpper, s.points, s.funcValues, s.seed);
    evaluationCount = s.nPoints;
    evaluationsToOptimum = s.nPoints;
    s.fBest = kNoBestYet;
    for (int j = 1; j <= n; ++j) s.xBest[j] = kNoBestYet;
    s.feasibleFound = false;
    return;
  }
  int priced = 0;
  s.nPoints = addNewPoints(n, s.nPoints, s.prevLower, s.prevUpper, s.curLower, s.curUpper,
                           s.points, s.funcValues, s.xOpt, s.fOpt, s.seed, priceDesignPoint,
                           priced);
  evaluationCount += priced;
  std::fprintf(log, "\n\n --- The number of new LHDs is %d  ---\n", priced);
}

void printTotals(const DesignState& s) {
  std::printf("\n\n The total number of objective function evaluations is %d", evaluationCount);
  std::printf("\n\n To reach optimum, the total number of function evaluations is %d",
              evaluationsToOptimum);
  std::printf("\n\n The globlal minimum of the objective function is %lf", s.fBest);
  std::printf("\n\n *****  Are you happy with the results? No: return, Yes: Enter 'y' : ");
}

// The closing block in the log and on the console; hands the best design back.
BestDesign reportBestDesign(const DesignState& s, std::FILE* log) {
  std::fprintf(log, "\n\n The total number of objective function evaluations is %d",
               evaluationCount);
  std::fprintf(log, "\n\n To reach optimum, the number of function evaluations is %d",
               evaluationsToOptimum);
  std::fprintf(log, "\n\n The global minimum of the objective function is %lf", s.fBest);
  std::fprintf(log, "\n\n The best design is:\n");
  std::printf("\n\n The best design is at: ");
  for (int j = 1; j <= s.nVars; ++j) {
    std::fprintf(log, "%lf\t", s.xBest[j]);
    std::printf("%lf\t", s.xBest[j]);
  }
  productSpec.bestLength = s.xBest[1];
  std::fprintf(log, "\n");
  std::printf("\n\n\n");
  // Without a feasible design the figures above are only the starting mark.
  if (!s.feasibleFound) std::fprintf(log, "\n No feasible design was found.\n");

  BestDesign best;
  best.feasible = s.feasibleFound;
  best.length = s.xBest[1];
  best.tolerance = s.xBest[2];
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
  DesignState s;
  std::FILE* log = readProblemFile(s);
  s.seed = 0;
  s.morePoints = 0;
  s.iteration = 1;
  const int n = s.nVars;

  for (;;) {
    printIterationHeading(s.iteration, log);
    samplePoints(s, log);

    s.nAdded = 0;
    runRefinementCycles(s, log);

    // Price the constrained optimum of the last model and keep the best feasible design.
    optimiseConstrained(n, s.prevLower, s.prevUpper, s.coefs, s.xOpt);
    s.fOpt = priceDesignPoint(s.xOpt);
    std::printf(" and Real fOpt = %lf\n", s.fOpt);
    ++evaluationCount;
    if (updateBestFeasible(n, s.nPoints, s.points, s.funcValues, s.xOpt, s.fOpt, s.xBest,
                           s.fBest)) {
      s.feasibleFound = true;
    }
    writeIterationSummary(log, s.iteration, n, s.nPoints, s.prevLower, s.prevUpper, s.points,
                          s.funcValues, s.xOpt, s.fOpt, cuttingValue);

    printTotals(s);
    ++s.iteration;
    if (readSingleKey('y') == 'y') break;
  }

  const BestDesign best = reportBestDesign(s, log);
  releaseDesignState(s);
  closeRunLog(log);
  return best;
}

}  // namespace designopt
