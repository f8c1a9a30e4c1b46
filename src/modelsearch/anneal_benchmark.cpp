// Speed of the two model searches against the work no search can avoid: one cost
// evaluation per point. The engine reads its jump tangents from a table computed once
// for the process, so the ratio of a search to its cost evaluations alone is the
// engine's own overhead (reading the table, settling bookkeeping). A second baseline
// adds a tangent per coordinate of every jump: what each search cost when it took them.
// Run by hand: build-*/src/anneal/anneal_benchmark
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "anneal/search_sequence.h"
#include "fixtures/test_designs.h"
#include "modelsearch/constraint_penalty.h"
#include "modelsearch/model_minimisation.h"
#include "numeric/quad_model.h"
#include "platform/silenced_output.h"
#include "product/constraints.h"
#include "product/product_record.h"
#include "random/random_generators.h"

namespace designopt {
namespace {

constexpr int kVariables = 3;

// A fixed 3-variable model: a tilted bowl with cross terms, and a design whose
// constraints can all be met, with ranges around it.
struct Fixture {
  DVector coefs = dvector(1, 10);
  DVector lower = dvector(1, kVariables);
  DVector upper = dvector(1, kVariables);
  DVector halfWidths = dvector(1, kVariables);
  DVector centres = dvector(1, kVariables);
  DVector best = dvector(1, kVariables);

  Fixture() {
    const double c[11] = {0, 1.5, -0.8, 0.3, -0.6, 0.9, 0.4, -0.2, 0.1, 0.05, -0.15};
    for (int i = 1; i <= 10; ++i) coefs[i] = c[i];
    lower[1] = 40, lower[2] = 0.8, lower[3] = 70;
    upper[1] = 80, upper[2] = 1.2, upper[3] = 75;
    for (int i = 1; i <= kVariables; ++i) {
      halfWidths[i] = (upper[i] - lower[i]) * 0.5;
      centres[i] = (lower[i] + upper[i]) * 0.5;
    }
    productSpec = workedGrilleDesign();
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// One search's evaluated points, recorded on a separate run so that the baseline
// evaluates the cost at the very points a search visits.
CostFunction recordedCost = nullptr;
std::vector<double> recordedPoints;
double recordingCost(const double* x) {
  recordedPoints.insert(recordedPoints.end(), x, x + kVariables + 1);
  return recordedCost(x);
}
void recordOneSearch(CostFunction cost) {
  recordedCost = cost;
  recordedPoints.clear();
  DVector x = dvector(1, kVariables);
  annealingSearch(recordingCost, x, kVariables, 1.2);
}

void publishModel(bool withRanges) {
  Fixture& f = fixture();
  modelContext.n = kVariables;
  modelContext.coefs = &f.coefs;
  modelContext.halfWidths = withRanges ? &f.halfWidths : nullptr;
  modelContext.centres = withRanges ? &f.centres : nullptr;
}

void BM_MinimiseModel(benchmark::State& state) {
  Fixture& f = fixture();
  SilencedOutput silence;
  for (auto _ : state) benchmark::DoNotOptimize(minimiseModel(kVariables, f.coefs));
}
BENCHMARK(BM_MinimiseModel)->Unit(benchmark::kMillisecond);

void BM_OptimiseConstrained(benchmark::State& state) {
  Fixture& f = fixture();
  SilencedOutput silence;
  for (auto _ : state) {
    benchmark::DoNotOptimize(optimiseConstrained(kVariables, f.lower, f.upper, f.coefs, f.best));
  }
}
BENCHMARK(BM_OptimiseConstrained)->Unit(benchmark::kMillisecond);

// The cost at every point the search evaluates and, with `tangents`, a tangent for each
// coordinate of every jump ((evaluations - 4 discarded ones) jumps of n + 1
// coordinates, on the deviates r250 gives after the reseeding). The deviates
// themselves are drawn outside the timing.
void runBaseline(benchmark::State& state, CostFunction cost, bool withTangents) {
  recordOneSearch(cost);
  const std::size_t stride = kVariables + 1;
  const std::size_t evaluations = recordedPoints.size() / stride;
  const std::size_t tangents = (evaluations - 4) * stride;
  std::vector<double> deviates(tangents);
  r250Seed(12331);
  for (double& u : deviates) u = r250Uniform();
  state.counters["evaluations"] = static_cast<double>(evaluations);
  state.counters["tangents"] = static_cast<double>(tangents);

  const double h = 1.5707813268;
  for (auto _ : state) {
    double sum = 0;
    if (withTangents) {
      for (double u : deviates) sum += std::tan(2 * h * u - h);
    }
    for (std::size_t i = 0; i < evaluations; ++i) sum += cost(&recordedPoints[i * stride]);
    benchmark::DoNotOptimize(sum);
  }
}

void BM_ModelCostEvaluations(benchmark::State& state) {
  publishModel(false);
  runBaseline(state, modelCost, false);
}
BENCHMARK(BM_ModelCostEvaluations)->Unit(benchmark::kMillisecond);

void BM_PenalisedModelCostEvaluations(benchmark::State& state) {
  publishModel(true);
  runBaseline(state, penalisedModelCost, false);
  publishModel(false);
}
BENCHMARK(BM_PenalisedModelCostEvaluations)->Unit(benchmark::kMillisecond);

void BM_ModelCostEvaluationsAndTangents(benchmark::State& state) {
  publishModel(false);
  runBaseline(state, modelCost, true);
}
BENCHMARK(BM_ModelCostEvaluationsAndTangents)->Unit(benchmark::kMillisecond);

void BM_PenalisedModelCostEvaluationsAndTangents(benchmark::State& state) {
  publishModel(true);
  runBaseline(state, penalisedModelCost, true);
  publishModel(false);
}
BENCHMARK(BM_PenalisedModelCostEvaluationsAndTangents)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace designopt
