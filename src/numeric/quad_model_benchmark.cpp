// Cost of one response-surface fit of the product's size: three variables, 30 points
// (ten coefficients). The fit's console report is sent to /dev/null while it is timed,
// so the figure is the fit's own work, not the terminal's.
#include <benchmark/benchmark.h>

#include "numeric/quad_model.h"
#include "platform/silenced_output.h"

namespace designopt {
namespace {

void BM_FitModelThreeVariablesThirtyPoints(benchmark::State& state) {
  const int n = 3;
  const int np = 30;
  DMatrix P = matrix(1, np, 1, n);
  DVector y = dvector(1, np);
  DVector c = dvector(1, coefficientCount(n));
  unsigned seed = 2024;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return ((seed >> 8) % 20000u) / 10000.0 - 1.0;
  };
  for (int j = 1; j <= np; ++j) {
    for (int i = 1; i <= n; ++i) P[j][i] = next();
    const double* x = P[j];
    y[j] = 120 + 8 * x[1] - 5 * x[2] + 3 * x[3] + 6 * x[1] * x[1] + 2 * x[2] * x[3] + next();
  }

  // The benchmark's own report stays on the terminal: output is silenced only while timing.
  SilencedOutput silence;
  for (auto _ : state) benchmark::DoNotOptimize(fitModel(n, np, P, y, c));
}
BENCHMARK(BM_FitModelThreeVariablesThirtyPoints);

}  // namespace
}  // namespace designopt
