// The run log's format: every text and the layout of every block that designopt writes
// to "log<Month><dd><yy>.dat", in one place. The driver writes its blocks with the
// writers below and the report's reader (report/run_log_reader.cpp) finds them by the
// same labels, so a change of wording here changes both sides at once. The opening and
// closing of the file itself belong to the driver (driver/run_log.h).
//
// The log is append-only text: numbers with "%lf" (or "%d" for counts), values of one
// point separated by tabs, the point's value last. The reader trims each line, so the
// labels below are the lines' texts without their leading and trailing blanks.
#pragma once

#include <cstdio>

#include "numeric/one_based.h"

namespace designopt {

// Variable counts a problem file can carry into a run: the objective prices a length,
// a tolerance and Tc, so it needs three variables; with 20 the initial design's
// (n + 1)(n + 2)/2 = 231 points still fit the 250 rows of the point set (21 would need
// 253). The problem-file reader refuses other counts and the log reader accepts no more.
constexpr int kMinVariables = 3;
constexpr int kMaxVariables = 20;

// The value of the best cost, and of every coordinate of the best design, until a
// feasible design is found. A closing block that still shows it names no design.
constexpr double kNoBestYet = 1e8;

namespace runlogtext {
// The header of one design.
inline constexpr const char* kVariableCount = "The number of variables is";
inline constexpr const char* kRanges = "Ranges of the variables";
inline constexpr const char* kInitialSeed = "The initial seed is";
// "======== Design  Iteration K ===========": the words of an iteration heading.
inline constexpr const char* kHeadingRule = "========";
inline constexpr const char* kHeadingDesign = "Design";
inline constexpr const char* kHeadingIteration = "Iteration";
// Later iterations: "--- The number of new LHDs is K  ---".
inline constexpr const char* kNewSampleRule = "---";
inline constexpr const char* kNewSampleCount = "The number of new LHDs is";
// Each fit of a refinement cycle.
inline constexpr const char* kFittedCoefs = "The fitted coefs are :";
inline constexpr const char* kMaxPositiveDiff = "The maximum positive difference (point-fitted) is";
// The reasons an addition of points gives, one or both, before its points.
inline constexpr const char* kAddedForConcavity = "To break the concave, the Points Added:";
inline constexpr const char* kAddedForCutting = "To help cutting, the Points Added:";
inline constexpr const char* kIgnoredConcavity = "You chose to ignore suspicious concave function.";
// The iteration summary.
inline constexpr const char* kSummary = "---------- Points Summary in this Iteration ---------";
inline constexpr const char* kSummaryCutLevel = "Ranges of the variables and will be cut with the value of";
inline constexpr const char* kExperimentCount = "Number of Experiments";
inline constexpr const char* kPointMatrix = "Point Matrix";
inline constexpr const char* kNormalisedPoints = "Normalized variables for reference";
inline constexpr const char* kLastOptimum = "The last optimum with real function value is as below!";
// The closing block of a design.
inline constexpr const char* kEvaluations = "The total number of objective function evaluations is";
inline constexpr const char* kEvaluationsToOptimum = "To reach optimum, the number of function evaluations is";
inline constexpr const char* kGlobalMinimum = "The global minimum of the objective function is";
inline constexpr const char* kBestDesign = "The best design is:";
inline constexpr const char* kNoFeasibleDesign = "No feasible design was found.";
}  // namespace runlogtext

// The header of one run: the variable count, the ranges as read and the starting
// sampling seed.
void writeLogHeader(std::FILE* log, int n, const DVector& lower, const DVector& upper,
                    int seed);

// The heading that opens every design iteration.
void writeIterationHeading(std::FILE* log, int iteration);

// The number of new stratified points a later iteration priced.
void writeNewSampleCount(std::FILE* log, int count);

// A fit's m coefficients and how far the worst point lies above the surface.
void writeFittedModel(std::FILE* log, int m, const DVector& coefs, double maxPositiveDiff);

// The reasons of an addition of points: a suspicious concave model, a request for more
// points, or both (in that order).
void writeAdditionReasons(std::FILE* log, bool forConcavity, bool forCutting);

// One added point x[1..n] in own units with its cost.
void writeAddedPoint(std::FILE* log, int n, const DVector& x, double cost);

// The designer ended the cycles of a suspicious concave model.
void writeIgnoredConcavity(std::FILE* log);

// The summary block written at the end of every design iteration: the model's frame
// (lower/upper) with the level of the last cut, every evaluated point in own units
// and normalised to that frame with its objective value, and the iteration's
// constrained optimum with its real objective value. The iteration number is taken
// but not written. A variable whose range has zero width normalises to 0.
void writeIterationSummary(std::FILE* log, int iteration, int n, int nPoints,
                           const DVector& lower, const DVector& upper,
                           const DMatrix& points, const DVector& funcValues,
                           const DVector& xOpt, double fOpt, double cutValue);

// The closing block of a design: the evaluation counts, the best cost and the best
// design x[1..n]; without a feasible design, the line that says so after it.
void writeClosingBlock(std::FILE* log, int evaluations, int evaluationsToOptimum,
                       double bestCost, int n, const DVector& bestDesign, bool feasibleFound);

}  // namespace designopt
