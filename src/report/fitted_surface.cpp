// Evaluating a logged quadratic surface, through the numeric library's model.
#include "report/fitted_surface.h"

#include "numeric/quad_model.h"

namespace designopt {

std::vector<double> normalisedToFrame(const std::vector<double>& x,
                                      const std::vector<double>& lower,
                                      const std::vector<double>& upper) {
  std::vector<double> z(x.size(), 0.0);
  for (size_t j = 0; j < x.size() && j < lower.size() && j < upper.size(); ++j) {
    const double halfWidth = (upper[j] - lower[j]) * 0.5;
    if (halfWidth != 0.0) z[j] = (x[j] - (lower[j] + upper[j]) * 0.5) / halfWidth;
  }
  return z;
}

double surfaceValue(const std::vector<double>& coefs, const std::vector<double>& z) {
  const int n = static_cast<int>(z.size());
  if (static_cast<int>(coefs.size()) != coefficientCount(n)) return 0.0;
  // The numeric library's one-based arrays: c[1..M] and the point x[1..n].
  DVector c = dvector(1, coefficientCount(n));
  for (int k = 1; k <= coefficientCount(n); ++k) c[k] = coefs[static_cast<size_t>(k - 1)];
  DVector x = dvector(1, n);
  for (int i = 1; i <= n; ++i) x[i] = z[static_cast<size_t>(i - 1)];
  return modelValueOf(n, c, x.data());
}

double surfaceValueAt(const std::vector<double>& coefs, const std::vector<double>& x,
                      const std::vector<double>& lower, const std::vector<double>& upper) {
  return surfaceValue(coefs, normalisedToFrame(x, lower, upper));
}

}  // namespace designopt
