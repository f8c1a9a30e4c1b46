// The objective: the production cost of one candidate design, priced by the cost
// workbook through "outexcel.dat", the launcher "Tallowin.exe" and "ProIn.dat".
#pragma once

#include "numeric/one_based.h"

namespace designopt {

// x[1..3]: length (inch), tolerance, Tc, in the variables' own units. Returns the
// cost; does not count itself (callers raise evaluationCount). When "outexcel.dat"
// cannot be written the workbook would price a stale design, so the process ends
// with status 1 after the message.
double evaluateObjective(const DVector& x);

}  // namespace designopt
