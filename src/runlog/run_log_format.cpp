// The run log's blocks, byte for byte as the goldens record them: the leading blank
// lines and spaces of each text are part of the format.
#include "runlog/run_log_format.h"

#include "numeric/quad_model.h"

namespace designopt {

using namespace runlogtext;

namespace {

void writeValues(std::FILE* log, int n, const DVector& values) {
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", values[j]);
  std::fprintf(log, "\n");
}

}  // namespace

void writeLogHeader(std::FILE* log, int n, const DVector& lower, const DVector& upper,
                    int seed) {
  std::fprintf(log, "\n%s %d\n\n", kVariableCount, n);
  std::fprintf(log, "%s\n", kRanges);
  writeValues(log, n, lower);
  writeValues(log, n, upper);
  std::fprintf(log, "%s %d\n", kInitialSeed, seed);
}

void writeIterationHeading(std::FILE* log, int iteration) {
  std::fprintf(log, "\n\n %s %s  %s %d %s=== \n\n", kHeadingRule, kHeadingDesign,
               kHeadingIteration, iteration, kHeadingRule);
}

void writeNewSampleCount(std::FILE* log, int count) {
  std::fprintf(log, "\n\n %s %s %d  %s\n", kNewSampleRule, kNewSampleCount, count, kNewSampleRule);
}

void writeFittedModel(std::FILE* log, int m, const DVector& coefs, double maxPositiveDiff) {
  std::fprintf(log, "\n%s\n", kFittedCoefs);
  for (int k = 1; k <= m; ++k) std::fprintf(log, "%lf\t", coefs[k]);
  std::fprintf(log, "\n %s %lf.\n", kMaxPositiveDiff, maxPositiveDiff);
}

void writeAdditionReasons(std::FILE* log, bool forConcavity, bool forCutting) {
  if (forConcavity) std::fprintf(log, "\n %s\n", kAddedForConcavity);
  if (forCutting) std::fprintf(log, "\n %s\n", kAddedForCutting);
}

void writeAddedPoint(std::FILE* log, int n, const DVector& x, double cost) {
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", x[j]);
  std::fprintf(log, "%lf\n", cost);
}

void writeIgnoredConcavity(std::FILE* log) { std::fprintf(log, "\n\n %s\n\n", kIgnoredConcavity); }

void writeIterationSummary(std::FILE* log, int /*iteration*/, int n, int nPoints,
                           const DVector& lower, const DVector& upper,
                           const DMatrix& points, const DVector& funcValues,
                           const DVector& xOpt, double fOpt, double cutValue) {
  std::fprintf(log, "\n %s\n", kSummary);
  std::fprintf(log, "%s %lf\n", kSummaryCutLevel, cutValue);
  writeValues(log, n, lower);
  writeValues(log, n, upper);

  std::fprintf(log, "%s\n", kExperimentCount);
  std::fprintf(log, "%d\n", nPoints);

  std::fprintf(log, "%s\n", kPointMatrix);
  for (int i = 1; i <= nPoints; ++i) {
    for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", points[i][j]);
    std::fprintf(log, "%lf\n", funcValues[i]);
  }

  std::fprintf(log, "\n\n%s\n", kNormalisedPoints);
  for (int i = 1; i <= nPoints; ++i) {
    for (int j = 1; j <= n; ++j) {
      std::fprintf(log, "%lf\t", normaliseToRange(points[i][j], lower[j], upper[j]));
    }
    std::fprintf(log, "%lf\n", funcValues[i]);
  }

  std::fprintf(log, "\n%s\n", kLastOptimum);
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", xOpt[j]);
  std::fprintf(log, "%lf\n", fOpt);
}

void writeClosingBlock(std::FILE* log, int evaluations, int evaluationsToOptimum,
                       double bestCost, int n, const DVector& bestDesign, bool feasibleFound) {
  std::fprintf(log, "\n\n %s %d", kEvaluations, evaluations);
  std::fprintf(log, "\n\n %s %d", kEvaluationsToOptimum, evaluationsToOptimum);
  std::fprintf(log, "\n\n %s %lf", kGlobalMinimum, bestCost);
  std::fprintf(log, "\n\n %s\n", kBestDesign);
  for (int j = 1; j <= n; ++j) std::fprintf(log, "%lf\t", bestDesign[j]);
  std::fprintf(log, "\n");
  // Without a feasible design the figures above are only the starting mark.
  if (!feasibleFound) std::fprintf(log, "\n %s\n", kNoFeasibleDesign);
}

}  // namespace designopt
