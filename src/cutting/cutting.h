// Design space cutting: shrinks the box to the extent of the level set
// {model = cuttingValue} of the fitted quadratic model, one annealing search per
// variable and direction. The designer picks the level from the observed values, the
// model minimum, or types one.
//
// All cutting works in the model's normalised frame: -1 and 1 are the ends of the
// previous range of each variable, the frame the model was fitted on.
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// Level of the last cut: 0 at process start, set by every cut and never reset (also
// not between designs). Read by cutEnnergy and by the driver's iteration summary.
extern double cuttingValue;
// Variable 1..n whose bound the running search seeks; meaningful only during a cut.
extern int cutVariable;
// 1 while seeking the smallest x_i on the level set, 2 while seeking the largest.
extern int cutDirection;

// Starts one annealing search of a cut: the variable and direction it seeks, and a
// fresh report of a flat model (cutEnnergy says so at most once per search).
void beginCutSearch(int variable, int direction);

// Straight insertion into ascending order of v[1..count]; equal values keep their
// order; nothing happens for count < 2.
void sortValues(int count, DVector& v);

// The energy of the cutting searches (a CostFunction): the smaller level-set root
// along x_cutVariable (direction 1), or minus the larger (direction 2), through the
// point x[1..n] with the other coordinates fixed, plus the box penalty of the point
// with x_cutVariable moved to that root. +infinity when the line misses the level set.
// Reads n and the coefficients from modelContext; never reads x[0] or x[cutVariable].
// The first evaluation of a search (beginCutSearch) with |A| < 1e-12 writes
// "Error: a=0 in Function: cutEnnergy !!!\n" on the standard error stream; later
// ones of the same search do not, so a flat model cannot flood the console.
double cutEnnergy(const double* x);

// Shows the candidate levels, takes the designer's choice, runs 2n searches and writes
// the new ranges into curLower/curUpper, always computed from prevLower/prevUpper:
// prevLower_i <= curLower_i <= curUpper_i <= prevUpper_i. Relies on minimiseModel
// having installed the current model in modelContext.
void cutDesignSpace(int n, int np, const DVector& prevLower, const DVector& prevUpper,
                    DVector& curLower, DVector& curUpper, const DVector& funcValues,
                    double modelMin);

}  // namespace designopt
