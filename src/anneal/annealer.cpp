// The simulated annealing engine behind every search of designopt (the model minimum,
// the constrained optimum and the cutting searches). Its path is chaotic: the order of
// the random draws and of every floating-point operation below decides where a search
// ends, so each step keeps the order in which it is written.
#include "anneal/annealer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "anneal/deviate_table.h"
#include "numeric/one_based.h"
#include "sampling/random_generators.h"

namespace designopt {

namespace {

constexpr std::int32_t kAnnealerSeed = 12331;
constexpr int kFinalSettleTrials = 200;
constexpr double kSettleGainThreshold = 0.1;  // relative gain that resets the stall count
constexpr int kSettleStallLimit = 9;          // settling ends when the stall count exceeds it
// exp of anything below this rounds to +0 (exp(-745.2) is under half the least
// subnormal double).
constexpr double kExpUnderflow = -746.0;

Annealer annealer;

// The engine's deviates. A search reads them from the table of its seed and
// half-angle, one after the other from the reseeding on; the tables live for the whole
// process and grow as far as searches reach. On every return from the engine r250 is
// put where the same draws made directly would have left it, so a caller sees the
// generator as if every draw had been made. When r250 is found elsewhere on entering
// the engine (someone drew or reseeded in between), the search draws directly from
// r250 and takes every tangent itself until the next SAInit.
struct DeviateSource {
  DeviateTable* table = nullptr;  // null: drawing directly from r250
  std::size_t blockIndex = 0;     // the table block whose arrays are held below
  std::size_t offset = 0;         // the next draw's place in that block
  DeviateTable::Block block{nullptr, nullptr};
  R250State left{};               // r250 as the engine last left it
};

DeviateSource deviates;
std::vector<std::unique_ptr<DeviateTable>> deviateTables;  // one per seed and half-angle
bool deviateTablesEnabled = true;
double jumpHalfAngle = Annealer().halfAngle;

DeviateTable* deviateTableFor(std::int32_t seed, double halfAngle) {
  for (const auto& table : deviateTables) {
    if (table->seed() == seed && table->halfAngle() == halfAngle) return table.get();
  }
  deviateTables.push_back(std::make_unique<DeviateTable>(seed, halfAngle));
  return deviateTables.back().get();
}

std::size_t drawsSinceReseed() {
  return deviates.blockIndex * DeviateTable::kBlockEntries + deviates.offset;
}

// Moves to the next block when the current one is used up; then offset < kBlockEntries.
void keepInBlock() {
  if (deviates.offset < DeviateTable::kBlockEntries) return;
  ++deviates.blockIndex;
  deviates.offset = 0;
  deviates.block = deviates.table->block(deviates.blockIndex);
}

double nextUniform() {
  if (deviates.table == nullptr) return r250Uniform();
  keepInBlock();
  return deviates.block.uniforms[deviates.offset++];
}

// Opens the table of the seeding just made; r250 is in its freshly seeded state.
void openDeviates(std::int32_t seed, double halfAngle) {
  deviates = DeviateSource();
  if (deviateTablesEnabled) {
    deviates.table = deviateTableFor(seed, halfAngle);
    deviates.block = deviates.table->block(0);
  }
  deviates.left = r250State();
}

void enterEngine() {
  if (deviates.table != nullptr && !(r250State() == deviates.left)) deviates.table = nullptr;
}

void leaveEngine() {
  if (deviates.table == nullptr) return;
  deviates.table->placeGenerator(drawsSinceReseed());
  deviates.left = r250State();
}

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
  const int dim = annealer.dim;
#pragma GCC unroll 4
  for (int k = 0; k < dim; ++k) to[k] = from[k];
}

// A jump whose deviates cross into the next block of the table, or a jump drawing
// directly from r250; apart from the hot path below so that the latter stays small.
[[gnu::noinline]] void jumpOutsideBlock(const double* x, double* y, double t) {
  const double rho = annealer.stepScale;
  const int dim = annealer.dim;
  if (deviates.table != nullptr) {
    for (int k = 0; k < dim; ++k) {
      keepInBlock();
      y[k] = x[k] + t * rho * deviates.block.tangents[deviates.offset++];
    }
    return;
  }
  const double h = annealer.halfAngle;
  for (int k = 0; k < dim; ++k) {
    const double u = r250Uniform();
    y[k] = x[k] + t * rho * std::tan(2 * h * u - h);
  }
}

// The tangent jump from x into y at temperature t; x and y may be the same array.
// One deviate per coordinate, in coordinate order. The table's tangent is the value
// of the expression that jumpOutsideBlock takes directly. t * rho * tangent multiplies
// left to right, so the step t * rho can be taken once: a caller jumping repeatedly at
// one temperature passes it in.
inline void jump(const double* x, double* y, double t, double step) {
  const int dim = annealer.dim;
  if (deviates.table == nullptr || deviates.offset + dim > DeviateTable::kBlockEntries) {
    jumpOutsideBlock(x, y, t);
    return;
  }
  const double* tangent = deviates.block.tangents + deviates.offset;
#pragma GCC unroll 4
  for (int k = 0; k < dim; ++k) y[k] = x[k] + step * tangent[k];
  deviates.offset += dim;
}

inline void jump(const double* x, double* y, double t) {
  jump(x, y, t, t * annealer.stepScale);
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
  annealer.halfAngle = jumpHalfAngle;
  r250Seed(kAnnealerSeed);
  openDeviates(kAnnealerSeed, annealer.halfAngle);
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

namespace {

// Settling inside heating and cooling, which enter and leave the engine themselves.
void settle(double temperature, int trials) {
  // Fixed for the whole search, or for this settling: read once.
  const CostFunction cost = annealer.cost;
  const double step = temperature * annealer.stepScale;
  int stalls = 0;
  for (int t = 0; t < trials; ++t) {
    jump(annealer.current, annealer.trial, temperature, step);
    const double energy = cost(annealer.trial);
    if (energy - annealer.currentEnergy < 0) {
      const double gain = std::fabs(energy - annealer.currentEnergy);
      acceptTrial(energy);
      recordIfBest(energy);
      // Divided by the signed energy: once energies are negative every gain counts as
      // a stall, so settling ends after 10 trials. (A negative energy gives a quotient
      // of at most 0, or NaN for an infinite one: a stall either way, so the division
      // is made only for a positive energy.)
      const double relativeGain = energy > 0 ? gain / energy : energy != 0 ? -1.0 : gain;
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

}  // namespace

void SASettle(double temperature, int trials) {
  enterEngine();
  settle(temperature, trials);
  leaveEngine();
}

double annealerUniform() {
  enterEngine();
  const double u = nextUniform();
  leaveEngine();
  return u;
}

void setJumpHalfAngleForTesting(double halfAngle) { jumpHalfAngle = halfAngle; }
void useDeviateTablesForTesting(bool use) { deviateTablesEnabled = use; }

double SAHeat(int iterations) {
  enterEngine();
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
    settle(t, annealer.settleTrials);
    const double energy = annealer.cost(annealer.current);
    change = energy - annealer.currentEnergy;
    recordIfBest(energy);
    annealer.currentEnergy = energy;
    if (havePreviousRise && change > annealer.heatStopRatio * previousRise) break;
  }
  annealer.temperature = t;
  leaveEngine();
  return t;
}

double SACool(int iterations) {
  enterEngine();
  if (iterations < 1) iterations = annealer.defaultIterations;
  const double t0 = annealer.temperature;
  settle(t0, 10 * annealer.settleTrials);
  for (int i = 0; i < iterations; ++i) {
    const double t = t0 / (1 + i * annealer.coolRate);
    settle(t, annealer.settleTrials);
    jump(annealer.current, annealer.trial, t);
    const double energy = annealer.cost(annealer.trial);
    if (energy <= annealer.currentEnergy) {
      acceptTrial(energy);
      recordIfBest(energy);
      continue;
    }
    // A rise: the acceptance deviate follows the jump's deviates; best stays as it is.
    // Below kExpUnderflow the exponential is +0, which no deviate in [0, 1) is below:
    // the draw is still made, the exponential is not taken.
    const double exponent = -(energy - annealer.currentEnergy) / (annealer.acceptK * t);
    const double p = exponent < kExpUnderflow ? 0.0 : std::exp(exponent);
    if (nextUniform() < p) acceptTrial(energy);
  }
  const double tLast = t0 / (1 + (iterations - 1) * annealer.coolRate);
  settle(tLast, kFinalSettleTrials);
  annealer.temperature = tLast;
  leaveEngine();
  return tLast;
}

}  // namespace designopt
