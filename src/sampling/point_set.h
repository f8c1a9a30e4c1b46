// Facts about the driver's set of evaluated points that the sampling and the driver
// share: how many points it holds at most, what the designer is told when it is full,
// and when a cut counts as having moved the ranges.
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// Rows of the point set (points, their normalised copies and their objective values):
// the most evaluated points one design can hold. Nothing is written beyond this row.
constexpr int kPointCapacity = 250;

// Tolerance, in the variables' own units, of every range test: a bound that moved by
// less than this has not moved, and a point this far outside a range is still inside.
constexpr double kRangeTolerance = 1e-4;

// Tells the designer that the point set is full and no more points are added:
// "\n The point set is full (250 points); no more points are added.\n".
void reportPointSetFull();

// True when every variable's lower and upper bound moved by less than kRangeTolerance
// between the frame (prevLower/prevUpper) and the cut ranges (curLower/curUpper),
// 1..n; a bound whose move is not a number counts as moved.
bool rangesUnchanged(int n, const DVector& prevLower, const DVector& prevUpper,
                     const DVector& curLower, const DVector& curUpper);

}  // namespace designopt
