// The optimiser's own work in one refinement cycle, without the pricing: the fit of the
// quadratic model, the search for its minimum, one cut of 2n searches and the
// constrained search, on a fixed 3-variable problem of ten priced points (the size of
// the initial design). The designer's cutting choice comes from a file of answers on
// standard input, and the console output goes to /dev/null while the work is timed,
// so the figures are the optimiser's, not the terminal's or the designer's.
// Run by hand: build-*/src/driver/refinement_cycle_benchmark (see docs/performance.md)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cutting/cutting.h"
#include "fixtures/test_designs.h"
#include "modelsearch/model_minimisation.h"
#include "numeric/quad_model.h"
#include "platform/silenced_output.h"
#include "product/product_record.h"

namespace designopt {
namespace {

constexpr int kVariables = 3;
constexpr int kPoints = 10;

// A priced design of the product's size: ten points in the ranges of a 48-inch grille
// with a cost that rises away from a length of 40 inches, and the product record the
// constraints read.
struct Problem {
  DVector lower = dvector(1, kVariables);
  DVector upper = dvector(1, kVariables);
  DMatrix normPoints = matrix(1, kPoints, 1, kVariables);
  DVector values = dvector(1, kPoints);
  DVector coefs = dvector(1, coefficientCount(kVariables));
  DVector curLower = dvector(1, kVariables);
  DVector curUpper = dvector(1, kVariables);
  DVector best = dvector(1, kVariables);

  Problem() {
    lower[1] = 24, lower[2] = 0.004, lower[3] = 70;
    upper[1] = 64, upper[2] = 0.007, upper[3] = 75;
    unsigned seed = 2024;
    auto next = [&seed] {
      seed = seed * 1103515245u + 12345u;
      return ((seed >> 8) % 20000u) / 10000.0 - 1.0;
    };
    for (int j = 1; j <= kPoints; ++j) {
      for (int i = 1; i <= kVariables; ++i) normPoints[j][i] = next();
      const double* z = normPoints[j];
      const double length = 44 + 20 * z[1];
      values[j] = 10 + 0.01 * (length - 40) * (length - 40) + 0.5 * z[2] * z[2] - 0.3 * z[3];
    }
    productSpec = workedGrilleDesign();
    productSpec.maxNC = 30;
  }
};

Problem& problem() {
  static Problem p;
  return p;
}

// For the life of the object: standard input reads the given answers from a temporary
// file (rewound before every cut), standard output and error go to /dev/null.
class ScriptedConsole {
 public:
  explicit ScriptedConsole(const char* answers) {
    char name[] = "/tmp/refinement_cycle_benchmark_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) {
      const std::string text(answers);
      ok_ = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
      close(fd);
      ok_ = ok_ && std::freopen(name, "r", stdin) != nullptr;
      unlink(name);
    }
  }
  bool ok() const { return ok_; }
  static void rewindAnswers() {
    std::clearerr(stdin);
    std::rewind(stdin);
  }

 private:
  bool ok_ = false;
  SilencedOutput silence_;
};

// The designer cuts at the second lowest observed cost.
constexpr const char* kCutChoice = "2\n";

void BM_FitModel(benchmark::State& state) {
  Problem& p = problem();
  ScriptedConsole console("");
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitModel(kVariables, kPoints, p.normPoints, p.values, p.coefs));
  }
}
BENCHMARK(BM_FitModel)->Unit(benchmark::kMicrosecond);

void BM_MinimiseModel(benchmark::State& state) {
  Problem& p = problem();
  ScriptedConsole console("");
  fitModel(kVariables, kPoints, p.normPoints, p.values, p.coefs);
  for (auto _ : state) benchmark::DoNotOptimize(minimiseModel(kVariables, p.coefs));
}
BENCHMARK(BM_MinimiseModel)->Unit(benchmark::kMillisecond);

void BM_CutDesignSpace(benchmark::State& state) {
  Problem& p = problem();
  ScriptedConsole console(kCutChoice);
  if (!console.ok()) {
    state.SkipWithError("cannot put the cutting answers on standard input");
    return;
  }
  fitModel(kVariables, kPoints, p.normPoints, p.values, p.coefs);
  const double modelMin = minimiseModel(kVariables, p.coefs);
  for (auto _ : state) {
    state.PauseTiming();
    ScriptedConsole::rewindAnswers();
    state.ResumeTiming();
    cutDesignSpace(kVariables, kPoints, p.lower, p.upper, p.curLower, p.curUpper, p.values,
                   modelMin);
  }
}
BENCHMARK(BM_CutDesignSpace)->Unit(benchmark::kMillisecond);

void BM_OptimiseConstrained(benchmark::State& state) {
  Problem& p = problem();
  ScriptedConsole console("");
  fitModel(kVariables, kPoints, p.normPoints, p.values, p.coefs);
  for (auto _ : state) {
    benchmark::DoNotOptimize(optimiseConstrained(kVariables, p.lower, p.upper, p.coefs, p.best));
  }
}
BENCHMARK(BM_OptimiseConstrained)->Unit(benchmark::kMillisecond);

// The whole cycle as the driver runs it: fit, model minimum, one cut, then the
// constrained search on the model of the cut's frame.
void BM_RefinementCycleWithoutPricing(benchmark::State& state) {
  Problem& p = problem();
  ScriptedConsole console(kCutChoice);
  if (!console.ok()) {
    state.SkipWithError("cannot put the cutting answers on standard input");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    ScriptedConsole::rewindAnswers();
    state.ResumeTiming();
    fitModel(kVariables, kPoints, p.normPoints, p.values, p.coefs);
    const double modelMin = minimiseModel(kVariables, p.coefs);
    cutDesignSpace(kVariables, kPoints, p.lower, p.upper, p.curLower, p.curUpper, p.values,
                   modelMin);
    benchmark::DoNotOptimize(optimiseConstrained(kVariables, p.lower, p.upper, p.coefs, p.best));
  }
}
BENCHMARK(BM_RefinementCycleWithoutPricing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace designopt
