// Point augmentation: at the start of every design iteration after the first, renews
// the working set of evaluated points for the cut design space. Points outside the
// cut ranges are dropped, the previous constrained optimum is kept when it lies
// inside, and new stratified points are priced so that every stratum of every
// variable holds at least one point.
#pragma once

#include <cstdint>

#include "numeric/one_based.h"
#include "sampling/point_set.h"

namespace designopt {

// Prices one design point x[1..n], in the variables' own units, and returns its
// cost: the driver hands in its own pricing, so that every pricing of a design goes
// through one place (the cost file's retry policy, a test's stand-in workbook).
using PricingFunction = double (*)(const DVector& x);

// points: rows 1..nPoints in use (own units); funcValues: their objective values.
// prevLower/prevUpper are the ranges before the latest cut, curLower/curUpper the cut
// ranges; xOpt/fOpt the previous iteration's constrained optimum and its true value;
// seed the design seed (advanced by the Latin hypercube of the offsets). Every new
// point is priced with `price`, in order; the routine itself reads nothing from the
// console (the driver's pricing reads the key the designer presses after each point).
// Rows 1..result of points and funcValues hold the new working set; pricedCount is set
// to the number of points priced, which the caller adds to its evaluation count.
// Returns the new number of points.
int addNewPoints(int n, int nPoints, const DVector& prevLower, const DVector& prevUpper,
                 const DVector& curLower, const DVector& curUpper, DMatrix& points,
                 DVector& funcValues, const DVector& xOpt, double fOpt, std::int32_t& seed,
                 PricingFunction price, int& pricedCount);

}  // namespace designopt
