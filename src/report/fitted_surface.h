// The fitted quadratic surface as the run log records it: coefficients in normalised
// units, with the frame (the ranges it was fitted on) to map own units onto [-1, 1].
#pragma once

#include <vector>

namespace designopt {

// x in own units normalised to the frame lower..upper: -1 at lower, 1 at upper. A frame
// of zero width maps every value to its centre, 0, as the run log does.
std::vector<double> normalisedToFrame(const std::vector<double>& x,
                                      const std::vector<double>& lower,
                                      const std::vector<double>& upper);

// The surface's value at the normalised point z (coefficient layout of the quadratic
// model: constant, linear terms, squares, cross products by pair).
double surfaceValue(const std::vector<double>& coefs, const std::vector<double>& z);

// The surface's value at x in own units, fitted on the frame lower..upper.
double surfaceValueAt(const std::vector<double>& coefs, const std::vector<double>& x,
                      const std::vector<double>& lower, const std::vector<double>& upper);

}  // namespace designopt
