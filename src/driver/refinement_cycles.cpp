// Refinement cycles: fit, minimise, cut, the no-change and concavity checks, and the
// points added to break a concave model or to help cutting.
#include "driver/refinement_cycles.h"

#include <cstdint>
#include <cstdio>

#include "cutting/cutting.h"
#include "modelsearch/model_minimisation.h"
#include "numeric/quad_model.h"
#include "platform/console_answers.h"
#include "product/evaluation_counters.h"
#include "product/objective.h"
#include "runlog/run_log_format.h"
#include "sampling/latin_hypercube.h"
#include "sampling/point_set.h"

namespace designopt {

namespace {

PricingFunction installedObjective = nullptr;

// Normalises every held point to [-1, 1] over the current ranges (a range of zero
// width, which a bound written with three decimals can collapse to, maps to 0).
void normalisePoints(DesignState& state) {
  const int n = state.nVars;
  for (int i = 1; i <= state.nPoints; ++i) {
    for (int j = 1; j <= n; ++j) {
      state.normPoints[i][j] = normaliseToRange(state.points[i][j], state.curLower[j], state.curUpper[j]);
    }
  }
}

// Fits the model to all held points, shows the fit report and logs the coefficients
// and how far the worst point lies above the surface.
void fitAndLog(DesignState& state, std::FILE* log) {
  const FitQuality fit = fitModel(state.nVars, state.nPoints, state.normPoints, state.funcValues, state.coefs);
  printFitReport(state.nPoints, state.nCoefs, state.coefs, fit);
  state.maxPositiveDiff = fit.maxPositiveDiff;
  writeFittedModel(log, state.nCoefs, state.coefs, state.maxPositiveDiff);
}

void copyRanges(int n, const DVector& fromLower, const DVector& fromUpper, DVector& toLower,
                DVector& toUpper) {
  for (int j = 1; j <= n; ++j) {
    toLower[j] = fromLower[j];
    toUpper[j] = fromUpper[j];
  }
}

// Cuts from the saved frame, as often as the designer asks; each cut replaces the
// previous one.
void cutUntilDesignerStops(DesignState& state) {
  do {
    cutDesignSpace(state.nVars, state.nPoints, state.prevLower, state.prevUpper, state.curLower, state.curUpper,
                   state.funcValues, state.modelMin);
    std::printf("\n Continue cutting, return; Otherwise, enter '0':  ");
  } while (readSingleKey('0') != '0');
}

// Draws n Latin hypercube points over the frame, logs and prices them, and appends
// them to the point set. The addition's seed is minus evaluationCount, so every
// addition starts a fresh, reproducible stream.
void addPointsOverFrame(DesignState& state, std::FILE* log) {
  const int n = state.nVars;
  std::int32_t additionSeed = -evaluationCount;
  latinHypercube(n, n, state.extraPoints, additionSeed);

  writeAdditionReasons(log, !state.concavityCheckPassed, state.morePointsAsked);

  DVector x = dvector(1, n);
  for (int k = 1; k <= n; ++k) {
    for (int j = 1; j <= n; ++j) {
      double e = state.extraPoints[k][j] * (1.0 / n);
      e = state.prevLower[j] + (state.prevUpper[j] - state.prevLower[j]) * e;
      state.extraPoints[k][j] = e;
      state.points[state.nPoints + k][j] = e;
      x[j] = e;
    }
    state.funcValues[state.nPoints + k] = priceDesignPoint(x);
    writeAddedPoint(log, n, x, state.funcValues[state.nPoints + k]);
  }
  releaseDVector(x, 1, n);

  state.nPoints += n;
  evaluationCount += n;
  state.nAdded += n;
}

}  // namespace

void printFitReport(int np, int m, const DVector& coefs, const FitQuality& fit) {
  // The fit has a single response; its report carries the point count plus one.
  const int functionNumber = np + 1;
  std::printf("The ceofficients for function %d (1 x1 x2 x1^2 x2^2 x1x2): \n", functionNumber);
  for (int j = 1; j <= m; ++j) std::printf("%lf\t", coefs[j]);
  std::printf("\n");
  std::printf("The average fitting difference of function %d is %lf.\n", functionNumber,
              fit.averageDifference);
  std::printf("R_square = %lf\n", fit.rSquare);
  std::printf("maxPosiDiff  = %lf\n", fit.maxPositiveDiff);
}

void setObjectiveForTesting(PricingFunction objective) { installedObjective = objective; }

double priceDesignPoint(const DVector& x) {
  if (installedObjective != nullptr) return installedObjective(x);
  return evaluateObjective(x);
}

bool passesConcavityCheck(int n) {
  DMatrix pair = matrix(1, 2, 1, n);
  DVector value = dvector(1, 2);
  DVector midpoint = dvector(1, n);
  int count = 0;

  for (int t = -1; t >= -kConcavityTrials; --t) {
    // A negative seed refills the shared table: the same 30 chords on every call.
    std::int32_t trialSeed = t;
    latinHypercube(n, 2, pair, trialSeed);
    for (int k = 1; k <= 2; ++k) {
      for (int j = 1; j <= n; ++j) {
        pair[k][j] = pair[k][j] * 0.5;
        pair[k][j] = pair[k][j] * 2 - 1;
      }
      value[k] = modelValue(pair[k]);
    }
    for (int j = 1; j <= n; ++j) midpoint[j] = (pair[2][j] + pair[1][j]) * 0.5;
    const double fMid = modelValue(midpoint.data());
    // Written as "unless above" so that a NaN comparison counts as not concave.
    if (!(fMid > (value[2] + value[1]) * 0.5)) ++count;
  }

  releaseMatrix(pair, 1, 2, 1, n);
  releaseDVector(value, 1, 2);
  releaseDVector(midpoint, 1, n);
  return count > 0;
}

void runRefinementCycles(DesignState& state, std::FILE* log) {
  const int n = state.nVars;
  for (;;) {
    // Fit and minimise the model over the current ranges, which become the frame.
    normalisePoints(state);
    fitAndLog(state, log);
    state.modelMin = minimiseModel(n, state.coefs);
    copyRanges(n, state.curLower, state.curUpper, state.prevLower, state.prevUpper);

    cutUntilDesignerStops(state);

    // A cut that moved no bound suggests the model cannot tell the region apart.
    if (rangesUnchanged(n, state.prevLower, state.prevUpper, state.curLower, state.curUpper)) {
      std::printf("\n You seem to have difficulty in cutting, you need more points? 'y' or 'n' :");
      if (readSingleKey('n') == 'y') state.morePointsAsked = true;
    }

    // Decide whether to end the cycles or add points.
    state.concavityCheckPassed = passesConcavityCheck(n);
    if (!state.concavityCheckPassed) {
      std::printf("\n Suspicious concave function occured, more points to be added -----\n");
      std::printf("\n\n You can choose to terminate the cutting. No: return, Yes: Enter '0' : ");
      if (readSingleKey('0') == '0') {
        writeIgnoredConcavity(log);
        return;
      }
    } else if (!state.morePointsAsked) {
      return;
    }

    // The point set never grows past its capacity; the cut stays as it is.
    if (state.nPoints + n > kPointCapacity) {
      reportPointSetFull();
      return;
    }

    // Undo the cut and add n points over the frame.
    copyRanges(n, state.prevLower, state.prevUpper, state.curLower, state.curUpper);
    addPointsOverFrame(state, log);

    const int pureConcaveLimit = 2 * state.nCoefs;
    if (!state.concavityCheckPassed && state.nAdded == pureConcaveLimit) {
      std::printf("WARNING: This function is likely a pure concave function.\n");
      return;
    }
    state.morePointsAsked = false;
    if (!state.concavityCheckPassed && state.nAdded <= pureConcaveLimit) {
      std::printf("\n\n === Continue because suspicous concave function ===\n");
    }
  }
}

}  // namespace designopt
