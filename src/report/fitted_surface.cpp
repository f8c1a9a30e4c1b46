// Evaluating a logged quadratic surface.
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
  // coefs is zero-based; the layout's indices are one-based.
  auto c = [&](int index) { return coefs[static_cast<size_t>(index - 1)]; };
  double value = c(1);
  for (int i = 1; i <= n; ++i) value += c(1 + i) * z[i - 1] + c(n + 1 + i) * z[i - 1] * z[i - 1];
  for (int a = 1; a < n; ++a) {
    for (int b = a + 1; b <= n; ++b) value += c(pairIndex(n, a, b)) * z[a - 1] * z[b - 1];
  }
  return value;
}

double surfaceValueAt(const std::vector<double>& coefs, const std::vector<double>& x,
                      const std::vector<double>& lower, const std::vector<double>& upper) {
  return surfaceValue(coefs, normalisedToFrame(x, lower, upper));
}

}  // namespace designopt
