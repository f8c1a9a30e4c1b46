// The three random generators of designopt, all on the Park-Miller recurrence
// (multiplier 16807, modulus 2^31 - 1). Their sequences are exact to the bit: the
// designs and annealing paths of a run follow from them. All state is process-wide.
//
// - randlcg (lcgSetSeed, lcgNext): the plain recurrence; only fills the r250 table.
// - r250 (r250Seed, r250Uniform): drives the annealing engine and the searches'
//   start points; reseeded with 12331 by every SAInit.
// - shuffledUniform: the recurrence behind a 32-entry shuffle table shared by every
//   caller; the seed variable belongs to the caller. Latin hypercubes and point
//   augmentation draw from it.
#pragma once

#include <cstdint>

namespace designopt {

void lcgSetSeed(std::int32_t seed);
std::int32_t lcgNext();

void r250Seed(std::int32_t seed);
double r250Uniform();  // in [0, 1]

// Scale from a 31-bit value to [0, 1]: 1 / (2^31 - 1), rounded down to a double.
constexpr double kGeneratorOutputScale = 4.656612875245797e-10;

// r250Uniform in its two halves, for a caller that keeps draws in less room: the word
// a draw produces (the generator moves on), and the uniform r250Uniform makes of it.
std::uint32_t r250Word();
inline double r250UniformOfWord(std::uint32_t word) { return word * kGeneratorOutputScale; }

// The whole state of r250: its words and the index of the word the next draw replaces.
// A caller that hands out recorded draws in place of the generator's own reads and
// restores it, so that the generator stays where those draws would have left it.
constexpr int kR250Words = 250;
struct R250State {
  std::uint32_t words[kR250Words];
  std::int32_t index;
};
R250State r250State();
void r250SetState(const R250State& state);
bool operator==(const R250State& a, const R250State& b);

// In (0, 0.99999988]. A seed <= 0 (or a table never filled) refills the shared table;
// afterwards the caller's variable holds 1..2147483646 and continues its stream.
double shuffledUniform(std::int32_t& seed);

// Test seam: restores the start-up state of all three generators (randlcg state 1,
// r250 table zero, shuffle table never filled), as a fresh process has it.
void resetGeneratorsForTesting();

}  // namespace designopt
