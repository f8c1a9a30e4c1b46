// The deviates r250 hands out after one seeding, each kept with the tangent of the jump
// it would drive. Every annealing search reseeds r250 with the same seed and jumps with
// the same half-angle, so the j-th deviate of every search and its tangent are the same
// numbers: computed once here, they are read by every later search instead of drawing
// and taking the tangent again. The tangent is by far the costliest step of a jump.
#pragma once

#include <cstddef>
#include <cstdint>

#include "random/random_generators.h"

namespace designopt {

class DeviateTable {
 public:
  // Draws are computed a block at a time; each block keeps the generator's state
  // before its first draw, so that the generator can be put at any position quickly.
  static constexpr std::size_t kBlockEntries = 1024;

  // The draws block * kBlockEntries + i, i = 0..kBlockEntries - 1: words[i] is the word
  // r250 produced, so that r250UniformOfWord(words[i]) is what r250Uniform() returned
  // (12 bytes a draw instead of 16), and tangents[i] is tan(2 h u - h) of that uniform,
  // computed exactly as the jump computes it. Kept apart because a jump reads only
  // tangents.
  struct Block {
    const std::uint32_t* words;
    const double* tangents;
  };

  // Seeds r250 with `seed` to take the state the table starts from, then puts r250
  // back as it was; randlcg is left as r250Seed(seed) leaves it.
  DeviateTable(std::int32_t seed, double halfAngle);
  ~DeviateTable();
  DeviateTable(const DeviateTable&) = delete;
  DeviateTable& operator=(const DeviateTable&) = delete;

  // The two values that decide every entry: a table serves only searches with both.
  std::int32_t seed() const { return seed_; }
  double halfAngle() const { return halfAngle_; }

  // Computed on first request together with every block before it; the generator is
  // left as it was. The arrays stay in place for the life of the table.
  Block block(std::size_t block);

  // Draws computed so far; the table only grows.
  std::size_t size() const { return blockCount_ * kBlockEntries; }

  // Puts r250 in the state that `draws` draws after the seeding leave it.
  void placeGenerator(std::size_t draws);

 private:
  struct Draws {
    R250State start;  // the generator before the block's first draw
    std::uint32_t words[kBlockEntries];
    double tangents[kBlockEntries];
  };
  void addBlock();

  std::int32_t seed_;
  double halfAngle_;
  R250State next_;  // the generator after the last draw computed so far
  // The blocks computed so far, blocks_[0..blockCount_ - 1], in a list with room for
  // blockRoom_; both the list and the blocks come from the one-based arrays' allocator,
  // so that memory running out here ends the run as everywhere else (numericFatal).
  Draws** blocks_ = nullptr;
  std::size_t blockCount_ = 0;
  std::size_t blockRoom_ = 0;
};

// The tables of every seed and half-angle the searches have used; they live for the
// whole process. Allocated like the blocks, through the failable allocator.
class DeviateTables {
 public:
  DeviateTables() = default;
  ~DeviateTables();
  DeviateTables(const DeviateTables&) = delete;
  DeviateTables& operator=(const DeviateTables&) = delete;

  // The table of this seed and half-angle, made on first request.
  DeviateTable* tableFor(std::int32_t seed, double halfAngle);

 private:
  DeviateTable** tables_ = nullptr;
  std::size_t count_ = 0;
  std::size_t room_ = 0;
};

// The fatal text of memory running out for a deviate table.
inline constexpr const char* kDeviateTableAllocationFailure = "allocation failure in the deviate table";

}  // namespace designopt
