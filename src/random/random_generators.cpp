// The three Park-Miller generators of designopt and their process-wide state.
//
// Every sequence here must repeat to the bit: a run's designs and annealing paths are
// replayed from them. All arithmetic stays in 32-bit integers; Schrage's factorisation
// keeps each product below 2^31, so no step overflows.
#include "random/random_generators.h"

#include <cstdint>
#include <cstring>

namespace designopt {

namespace {

constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr std::int32_t kSchrageQuotient = 127773;  // kModulus div kMultiplier
constexpr std::int32_t kSchrageRemainder = 2836;   // kModulus mod kMultiplier

constexpr int kR250Offset = 103;  // the partner of word i lies 103 words further on, cyclically
constexpr std::uint32_t kR250BitThreshold = 0x20000000u;
constexpr std::uint32_t kR250TopBit = 0x40000000u;
constexpr std::uint32_t kR250WordMask = 0x7fffffffu;
constexpr int kR250DiagonalWords = 31;  // words 3, 10, ..., 213 get one leading bit each
constexpr int kR250DiagonalStep = 7;
constexpr int kR250DiagonalFirst = 3;

constexpr int kShuffleTableSize = 32;
constexpr std::int32_t kShuffleIndexDivisor = 67108864;  // 2^26: a 31-bit value -> 0..31
constexpr int kShuffleWarmUpSteps = 8;
// Largest deviate handed out, so that a Latin hypercube value never reaches the
// lower boundary of its stratum.
constexpr double kShuffledCap = 0.99999988;

// randlcg: the current state, 1 at start-up.
std::int32_t lcgState = 1;

// r250: the word table (31-bit values) and the index of the word the next draw replaces.
std::uint32_t r250Table[kR250Words] = {};
std::int32_t r250Index = 0;

// Shuffled generator: the table shared by every caller's seed and the entry drawn last;
// last = 0 means the table has never been filled.
std::int32_t shuffleTable[kShuffleTableSize] = {};
std::int32_t shuffleLast = 0;

// One step of the recurrence on a value in 1..kModulus - 1, by Schrage's method.
std::int32_t shuffleStep(std::int32_t s) {
  const std::int32_t k = s / kSchrageQuotient;
  s = kMultiplier * (s - kSchrageQuotient * k) - kSchrageRemainder * k;
  if (s < 0) s += kModulus;
  return s;
}

// The value a filling starts the recurrence from: minus a negative seed, else 1.
// Minus -2147483647 is the modulus itself, which would lock the recurrence at 0, and
// the most negative int has no negation; both start from 1 like the zero seed.
std::int32_t fillingStart(std::int32_t seed) {
  if (seed < 0 && seed > -kModulus) return -seed;
  return 1;
}

}  // namespace

void lcgSetSeed(std::int32_t seed) { lcgState = seed; }

std::int32_t lcgNext() {
  std::int32_t t;
  if (lcgState > kSchrageQuotient) {
    t = kMultiplier * (lcgState % kSchrageQuotient) -
        kSchrageRemainder * (lcgState / kSchrageQuotient);
    if (t <= 0) t += kModulus;
  } else {
    // For 0 <= state <= 127773 the product stays below 2^31 and is reduced directly;
    // the 64-bit product only keeps a negative state (never used) free of overflow.
    t = static_cast<std::int32_t>((static_cast<std::int64_t>(kMultiplier) * lcgState) %
                                  kModulus);
  }
  lcgState = t;
  return t;
}

void r250Seed(std::int32_t seed) {
  lcgSetSeed(seed);
  r250Index = 0;

  // Fill every word with the plain recurrence.
  for (int i = 0; i < kR250Words; ++i) r250Table[i] = static_cast<std::uint32_t>(lcgNext());

  // Set bit 30 in about three words out of four, from a second pass of draws.
  for (int i = 0; i < kR250Words; ++i) {
    if (static_cast<std::uint32_t>(lcgNext()) > kR250BitThreshold) r250Table[i] |= kR250TopBit;
  }

  // Make the diagonal words linearly independent: word 7j + 3 keeps bits below 30 - j
  // and gets bit 30 - j set, bits above it cleared.
  for (int j = 0; j < kR250DiagonalWords; ++j) {
    const int k = kR250DiagonalStep * j + kR250DiagonalFirst;
    r250Table[k] = (r250Table[k] & (kR250WordMask >> j)) | (kR250TopBit >> j);
  }
}

std::uint32_t r250Word() {
  const int partner = r250Index < kR250Words - kR250Offset ? r250Index + kR250Offset
                                                            : r250Index - (kR250Words - kR250Offset);
  const std::uint32_t w = r250Table[r250Index] ^ r250Table[partner];
  r250Table[r250Index] = w;
  r250Index = r250Index >= kR250Words - 1 ? 0 : r250Index + 1;
  return w;
}

double r250Uniform() { return r250UniformOfWord(r250Word()); }

R250State r250State() {
  R250State state;
  std::memcpy(state.words, r250Table, sizeof r250Table);
  state.index = r250Index;
  return state;
}

void r250SetState(const R250State& state) {
  std::memcpy(r250Table, state.words, sizeof r250Table);
  r250Index = state.index;
}

bool operator==(const R250State& a, const R250State& b) {
  return a.index == b.index && std::memcmp(a.words, b.words, sizeof a.words) == 0;
}

double shuffledUniform(std::int32_t& seed) {
  // Fill the shared table on a non-positive seed or before its first use; the first
  // eight steps are warm-up, then table[31] down to table[0] take the next 32 values.
  // A seed equal to the modulus would step to 0, so it refills like the zero seed.
  if (seed <= 0 || seed == kModulus || shuffleLast == 0) {
    seed = fillingStart(seed);
    for (int j = kShuffleTableSize + kShuffleWarmUpSteps - 1; j >= 0; --j) {
      seed = shuffleStep(seed);
      if (j < kShuffleTableSize) shuffleTable[j] = seed;
    }
    shuffleLast = shuffleTable[0];
  }

  // Hand out the entry that the last value points at and put the new value in its place.
  seed = shuffleStep(seed);
  const std::int32_t j = shuffleLast / kShuffleIndexDivisor;
  shuffleLast = shuffleTable[j];
  shuffleTable[j] = seed;

  const double r = shuffleLast * kGeneratorOutputScale;
  return r > kShuffledCap ? kShuffledCap : r;
}

void resetGeneratorsForTesting() {
  lcgState = 1;
  for (std::uint32_t& word : r250Table) word = 0;
  r250Index = 0;
  for (std::int32_t& entry : shuffleTable) entry = 0;
  shuffleLast = 0;
}

}  // namespace designopt
