// The simulated annealing engine behind every search of designopt (the model minimum,
// the constrained optimum and the cutting searches). Its path is chaotic: the order of
// the random draws and of every floating-point operation below decides where a search
// ends, so each step keeps the order in which it is written.
#include "anneal/annealer.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "numeric/one_based.h"
#include "sampling/random_generators.h"

namespace designopt {

namespace {

constexpr std::int32_t kAnnealerSeed = 12331;
constexpr int kFinalSettleTrials = 200;
constexpr double kSettleGainThreshold = 0.1;  // relative gain that resets the stall count
constexpr int kSettleStallLimit = 9;          // settling ends when the stall count exceeds it

Annealer annealer;

void releasePoints() {
  releaseArrayBlock(annealer.current);
  releaseArrayBlock(annealer.trial);
  releaseArrayBlock(annealer.best);
  annealer.current = nullptr;
  annealer.trial = nullptr;
  annealer.best = nullptr;
}

// Zero-filled, so that a search never reads indeterminate values even when its caller
// jumps before setting a start point.
double* allocatePoint(int dim) {
  const std::size_t bytes = static_cast<std::size_t>(dim) * sizeof(double);
  auto* point = static_cast<double*>(allocateArrayBlock(bytes));
  if (point != nullptr) std::memset(point, 0, bytes);
  return point;
}

void copyPoint(double* to, const double* from) {
  std::memcpy(to, from, static_cast<std::size_t>(annealer.dim) * sizeof(double));
}

// The tangent jump from x into y at temperature t; x and y may be the same array.
// One deviate per coordinate, in coordinate order.
void jump(const double* x, double* y, double t) {
  const double h = annealer.halfAngle;
  const double rho = annealer.stepScale;
  for (int k = 0; k < annealer.dim; ++k) {
    const double u = r250Uniform();
    y[k] = x[k] + t * rho * std::tan(2 * h * u - h);
  }
}

// Trial becomes current by exchanging the two arrays, never by copying.
void acceptTrial(double energy) {
  annealer.currentEnergy = energy;
  std::swap(annealer.current, annealer.trial);
}

void recordIfBest(double energy) {
  if (energy < annealer.bestEnergy) {
    copyPoint(annealer.best, annealer.current);
    annealer.bestEnergy = energy;
  }
}

}  // namespace

const Annealer& annealerState() { return annealer; }

int SAInit(CostFunction cost, int dim) {
  // Each search allocates its own arrays; those of the previous search go first.
  releasePoints();
  annealer = Annealer();
  annealer.cost = cost;
  annealer.dim = dim;
  r250Seed(kAnnealerSeed);
  if (dim < 1) return 0;

  annealer.current = allocatePoint(dim);
  if (annealer.current == nullptr) return 0;
  annealer.trial = allocatePoint(dim);
  if (annealer.trial == nullptr) return 0;
  annealer.best = allocatePoint(dim);
  if (annealer.best == nullptr) return 0;
  return 1;
}

double SASetAcceptK(double k) {
  if (k > 0) annealer.acceptK = k;
  return annealer.acceptK;
}

double SASetTemp(double t) {
  if (t > 0) annealer.temperature = t;
  return annealer.temperature;
}

void SASetStart(const double* point) { copyPoint(annealer.current, point); }
void SAGetCurrent(double* point) { copyPoint(point, annealer.current); }
void SAGetBest(double* point) { copyPoint(point, annealer.best); }

void SASettle(double temperature, int trials) {
  int stalls = 0;
  for (int t = 0; t < trials; ++t) {
    jump(annealer.current, annealer.trial, temperature);
    const double energy = annealer.cost(annealer.trial);
    if (energy - annealer.currentEnergy < 0) {
      const double gain = std::fabs(energy - annealer.currentEnergy);
      acceptTrial(energy);
      recordIfBest(energy);
      // Divided by the signed energy: once energies are negative every gain counts as
      // a stall, so settling ends after 10 trials.
      const double relativeGain = energy != 0 ? gain / energy : gain;
      if (relativeGain >= kSettleGainThreshold) {
        stalls = 0;
        continue;
      }
      ++stalls;
    } else {
      ++stalls;
    }
    if (stalls > kSettleStallLimit) return;
  }
}

double SAHeat(int iterations) {
  if (iterations < 1) iterations = annealer.defaultIterations;
  double t = annealer.temperature;
  bool havePreviousRise = false;
  double previousRise = 0.0;
  double change = 0.0;
  for (int i = 0; i < iterations; ++i) {
    // The first rise only sets the reference: heating never ends in its first iteration.
    if (i > 0 && change > 0) {
      previousRise = change;
      havePreviousRise = true;
    }
    t = t + annealer.heatStep;
    // The current point is kicked in place and not evaluated before settling.
    jump(annealer.current, annealer.current, t);
    SASettle(t, annealer.settleTrials);
    const double energy = annealer.cost(annealer.current);
    change = energy - annealer.currentEnergy;
    recordIfBest(energy);
    annealer.currentEnergy = energy;
    if (havePreviousRise && change > annealer.heatStopRatio * previousRise) break;
  }
  annealer.temperature = t;
  return t;
}

double SACool(int iterations) {
  if (iterations < 1) iterations = annealer.defaultIterations;
  const double t0 = annealer.temperature;
  SASettle(t0, 10 * annealer.settleTrials);
  for (int i = 0; i < iterations; ++i) {
    const double t = t0 / (1 + i * annealer.coolRate);
    SASettle(t, annealer.settleTrials);
    jump(annealer.current, annealer.trial, t);
    const double energy = annealer.cost(annealer.trial);
    if (energy <= annealer.currentEnergy) {
      acceptTrial(energy);
      recordIfBest(energy);
      continue;
    }
    // A rise: the acceptance deviate follows the jump's deviates; best stays as it is.
    const double p = std::exp(-(energy - annealer.currentEnergy) / (annealer.acceptK * t));
    if (r250Uniform() < p) acceptTrial(energy);
  }
  const double tLast = t0 / (1 + (iterations - 1) * annealer.coolRate);
  SASettle(tLast, kFinalSettleTrials);
  annealer.temperature = tLast;
  return tLast;
}

}  // namespace designopt
