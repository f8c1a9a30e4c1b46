// Reading a run log back: the record of every design that designopt appended to one
// "log<Month><dd><yy>.dat", as the report draws it. The log has no separators of its
// own between designs or iterations and no labels on its columns, so the reader
// follows its blocks in the order the driver writes them and rebuilds from them what
// the log only implies: the pricing order of the points, which points each iteration
// priced and which of them were added by the refinement cycles.
//
// Accepted: several designs in one log; a design whose run ended early (the log stops,
// or the next design's header follows, between two blocks); logs from before the
// closing line that names a design without a feasible point, where such a design shows
// the best design at 1e8 in every variable; CR LF line ends. Refused with the line
// number: text that is not part of a run log, and a log that ends inside a block.
#pragma once

#include <string>
#include <vector>

namespace designopt {

// What a priced point was priced for.
enum class PointKind {
  Sample,   // a Latin hypercube point of the iteration's sampling
  Added,    // a point a refinement cycle added (concave model or a cut that moved nothing)
  Optimum,  // the iteration's constrained optimum of the fitted model
};

// One objective evaluation, in pricing order within its design.
struct PricedPoint {
  int iteration = 0;       // design iteration, from 1
  int number = 0;          // evaluation number within the design, from 1
  std::vector<double> x;   // the point in the variables' own units
  double cost = 0.0;       // objective value (dollars for the grille)
  PointKind kind = PointKind::Sample;
};

// One fit of the quadratic model in a refinement cycle.
struct ModelFit {
  std::vector<double> coefs;   // constant, linear, squares, cross products by pair
  double maxPositiveDiff = 0.0;
};

// One design iteration as the log records it.
struct IterationRecord {
  int number = 0;                   // from the iteration heading
  int line = 0;                     // line of the heading
  int newSampleCount = -1;          // "number of new LHDs" (later iterations); -1 in the first
  std::vector<ModelFit> fits;       // every refinement cycle's fit, in order
  std::vector<PricedPoint> added;   // the points the refinement cycles added, in order
  bool ignoredConcavity = false;    // the designer chose to ignore a suspicious concave model
  // The iteration summary; hasSummary is false when the log ends before it.
  bool hasSummary = false;
  double cutLevel = 0.0;            // level of the last cut made in this iteration
  std::vector<double> lower, upper;  // frame of the last fitted model, own units
  std::vector<std::vector<double>> points;  // the working set, own units
  std::vector<double> costs;                // its objective values
  std::vector<double> xOpt;         // constrained optimum, own units
  double fOpt = 0.0;                // its real (priced) cost
};

// One design: one run of the optimiser, from its header to its closing block.
struct DesignRecord {
  int line = 0;                      // line of the header
  int n = 0;                         // number of variables
  std::vector<double> lower, upper;  // the ranges of the problem file
  int seed = 0;
  std::vector<IterationRecord> iterations;
  // The closing block; closed is false when the run ended before it (interrupted).
  bool closed = false;
  int evaluations = 0;               // objective evaluations in all
  int evaluationsToOptimum = 0;      // evaluations made when the best design last improved
  double bestCost = 0.0;
  std::vector<double> bestDesign;
  bool feasibleFound = false;        // false: no feasible design (closing line or 1e8 best)
  // Derived: every priced point the log records, in pricing order.
  std::vector<PricedPoint> priced;
};

struct RunLogRecord {
  std::vector<DesignRecord> designs;
};

// The reader's verdict: the record, or the first line that is not a run log's.
struct RunLogReading {
  RunLogRecord record;
  bool ok = false;
  int errorLine = 0;      // 1-based line number of the fault
  std::string error;      // what was expected there
};

RunLogReading readRunLog(const std::string& text);

const char* pointKindName(PointKind kind);

}  // namespace designopt
