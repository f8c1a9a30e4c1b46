// The simulated annealing engine behind every search of designopt (the model minimum,
// the constrained optimum and the cutting searches). Its path is chaotic: the order of
// the random draws and of every floating-point operation below decides where a search
// ends, so each step keeps the order in which it is written.
#include "anneal/annealer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "anneal/deviate_table.h"
#include "numeric/one_based.h"
#include "random/random_generators.h"

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
DeviateTables deviateTables;  // one per seed and half-angle
bool deviateTablesEnabled = true;
double jumpHalfAngle = Annealer().halfAngle;

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
  return r250UniformOfWord(deviates.block.words[deviates.offset++]);
}

// Opens the table of the seeding just made; r250 is in its freshly seeded state.
void openDeviates(std::int32_t seed, double halfAngle) {
  deviates = DeviateSource();
  if (deviateTablesEnabled) {
    deviates.table = deviateTables.tableFor(seed, halfAngle);
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

// kDim as for jump below: the search's dimension, or 0 to read it from the engine.
template <int kDim = 0>
void copyPoint(double* to, const double* from) {
  const int dim = kDim > 0 ? kDim : annealer.dim;
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

// The search's place in its table while a step of the engine runs, held in locals so
// that the opaque cost calls between two jumps do not force it back to memory: the next
// draw's tangent and the draws left in its block (none when drawing directly, which
// sends every jump to jumpOutsideBlock). Written back to `deviates` before anything
// else reads it: a jump outside the block, the acceptance deviate, the step's end.
struct TangentCursor {
  const double* next = nullptr;
  std::size_t left = 0;

  void load() {
    if (deviates.table == nullptr) {
      next = nullptr;
      left = 0;
      return;
    }
    next = deviates.block.tangents + deviates.offset;
    left = DeviateTable::kBlockEntries - deviates.offset;
  }
  void store() const {
    if (deviates.table != nullptr) deviates.offset = DeviateTable::kBlockEntries - left;
  }
};

// The tangent jump from x into y at temperature t; x and y may be the same array.
// One deviate per coordinate, in coordinate order. The table's tangent is the value
// of the expression that jumpOutsideBlock takes directly. t * rho * tangent multiplies
// left to right, so the step t * rho can be taken once: a caller jumping repeatedly at
// one temperature passes it in. kDim is the search's dimension when it is one of the
// common ones, so that the jump compiles to its coordinates without loop control, and 0
// otherwise (read from the engine).
template <int kDim>
inline void jump(TangentCursor& cursor, const double* x, double* y, double t, double step) {
  const int dim = kDim > 0 ? kDim : annealer.dim;
  const auto draws = static_cast<std::size_t>(dim);
  if (cursor.left < draws) {
    cursor.store();
    jumpOutsideBlock(x, y, t);
    cursor.load();
    return;
  }
  const double* tangent = cursor.next;
#pragma GCC unroll 4
  for (int k = 0; k < dim; ++k) y[k] = x[k] + step * tangent[k];
  cursor.next += draws;
  cursor.left -= draws;
}

// Trial becomes current by exchanging the two arrays, never by copying.
void acceptTrial(double energy) {
  annealer.currentEnergy = energy;
  std::swap(annealer.current, annealer.trial);
}

template <int kDim>
void recordIfBest(double energy) {
  if (energy < annealer.bestEnergy) {
    copyPoint<kDim>(annealer.best, annealer.current);
    annealer.bestEnergy = energy;
  }
}

// The next deviate after the cursor's: from the block when one is left in it, else
// through nextUniform, which moves to the next block or draws directly.
double nextUniform(TangentCursor& cursor) {
  if (cursor.left == 0) {
    cursor.store();
    const double u = nextUniform();
    cursor.load();
    return u;
  }
  const double u = r250UniformOfWord(deviates.block.words[DeviateTable::kBlockEntries - cursor.left]);
  ++cursor.next;
  --cursor.left;
  return u;
}

// Runs body(std::integral_constant<int, kDim>) with kDim the search's dimension for
// the common ones (designopt's point is n + 1 coordinates, n = 1..5), 0 for any other.
template <typename Body>
auto withDimension(Body body) {
  switch (annealer.dim) {
    case 2: return body(std::integral_constant<int, 2>());
    case 3: return body(std::integral_constant<int, 3>());
    case 4: return body(std::integral_constant<int, 4>());
    case 5: return body(std::integral_constant<int, 5>());
    case 6: return body(std::integral_constant<int, 6>());
    default: return body(std::integral_constant<int, 0>());
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
  // Until the table is open the engine would draw directly from r250.
  deviates = DeviateSource();
  if (dim < 1) return 0;

  annealer.current = allocatePoint(dim);
  if (annealer.current == nullptr) return 0;
  annealer.trial = allocatePoint(dim);
  if (annealer.trial == nullptr) return 0;
  annealer.best = allocatePoint(dim);
  if (annealer.best == nullptr) return 0;
  // After the search's own arrays: memory running out for the table (which the
  // process keeps) is the fatal numeric error, not a failed initialisation.
  openDeviates(kAnnealerSeed, annealer.halfAngle);
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
// The arrays and the current energy are read into locals once and kept there across
// the cost calls; the engine's record is written as they change, so annealerState()
// shows the same engine to a cost function as before.
template <int kDim>
[[gnu::always_inline]] inline void settle(TangentCursor& heldCursor, double temperature, int trials) {
  // Fixed for the whole search, or for this settling: read once. The cursor too is
  // copied in and out, so that the cost calls cannot be thought to change it.
  TangentCursor cursor = heldCursor;
  const CostFunction cost = annealer.cost;
  const double step = temperature * annealer.stepScale;
  double* current = annealer.current;
  double* trial = annealer.trial;
  double currentEnergy = annealer.currentEnergy;
  int stalls = 0;
  for (int t = 0; t < trials; ++t) {
    jump<kDim>(cursor, current, trial, temperature, step);
    const double energy = cost(trial);
    const double change = energy - currentEnergy;
    if (change < 0) {
      const double gain = std::fabs(change);
      // acceptTrial and recordIfBest on the locals.
      std::swap(current, trial);
      currentEnergy = energy;
      annealer.current = current;
      annealer.trial = trial;
      annealer.currentEnergy = energy;
      recordIfBest<kDim>(energy);
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
    if (stalls > kSettleStallLimit) break;
  }
  heldCursor = cursor;
}

template <int kDim>
double heat(int iterations) {
  TangentCursor cursor;
  cursor.load();
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
    jump<kDim>(cursor, annealer.current, annealer.current, t, t * annealer.stepScale);
    settle<kDim>(cursor, t, annealer.settleTrials);
    const double energy = annealer.cost(annealer.current);
    change = energy - annealer.currentEnergy;
    recordIfBest<kDim>(energy);
    annealer.currentEnergy = energy;
    if (havePreviousRise && change > annealer.heatStopRatio * previousRise) break;
  }
  annealer.temperature = t;
  cursor.store();
  return t;
}

template <int kDim>
double cool(int iterations) {
  TangentCursor cursor;
  cursor.load();
  if (iterations < 1) iterations = annealer.defaultIterations;
  const double t0 = annealer.temperature;
  settle<kDim>(cursor, t0, 10 * annealer.settleTrials);
  for (int i = 0; i < iterations; ++i) {
    const double t = t0 / (1 + i * annealer.coolRate);
    settle<kDim>(cursor, t, annealer.settleTrials);
    jump<kDim>(cursor, annealer.current, annealer.trial, t, t * annealer.stepScale);
    const double energy = annealer.cost(annealer.trial);
    if (energy <= annealer.currentEnergy) {
      acceptTrial(energy);
      recordIfBest<kDim>(energy);
      continue;
    }
    // A rise: the acceptance deviate follows the jump's deviates; best stays as it is.
    // Below kExpUnderflow the exponential is +0, which no deviate in [0, 1) is below:
    // the draw is still made, the exponential is not taken.
    const double exponent = -(energy - annealer.currentEnergy) / (annealer.acceptK * t);
    const double p = exponent < kExpUnderflow ? 0.0 : std::exp(exponent);
    if (nextUniform(cursor) < p) acceptTrial(energy);
  }
  const double tLast = t0 / (1 + (iterations - 1) * annealer.coolRate);
  settle<kDim>(cursor, tLast, kFinalSettleTrials);
  annealer.temperature = tLast;
  cursor.store();
  return tLast;
}

}  // namespace

void SASettle(double temperature, int trials) {
  enterEngine();
  withDimension([&](auto dim) {
    TangentCursor cursor;
    cursor.load();
    settle<decltype(dim)::value>(cursor, temperature, trials);
    cursor.store();
  });
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
  const double t = withDimension([&](auto dim) { return heat<decltype(dim)::value>(iterations); });
  leaveEngine();
  return t;
}

double SACool(int iterations) {
  enterEngine();
  const double t = withDimension([&](auto dim) { return cool<decltype(dim)::value>(iterations); });
  leaveEngine();
  return t;
}

}  // namespace designopt
