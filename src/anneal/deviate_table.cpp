// The table of deviates and tangents after one seeding of r250. Each entry is computed
// by the very expressions the jump uses, in the same order, so a value read from the
// table is the value the jump would compute: the table changes no annealing path.
#include "anneal/deviate_table.h"

#include <cmath>

namespace designopt {

DeviateTable::DeviateTable(std::int32_t seed, double halfAngle)
    : seed_(seed), halfAngle_(halfAngle) {
  const R250State before = r250State();
  r250Seed(seed);
  next_ = r250State();
  r250SetState(before);
}

void DeviateTable::addBlock() {
  // Every field is written below: no zero-filling first.
  std::unique_ptr<Draws> added(new Draws);
  const R250State before = r250State();
  added->start = next_;
  r250SetState(next_);
  const double h = halfAngle_;
  for (std::size_t i = 0; i < kBlockEntries; ++i) {
    const std::uint32_t word = r250Word();
    const double u = r250UniformOfWord(word);
    added->words[i] = word;
    added->tangents[i] = std::tan(2 * h * u - h);
  }
  next_ = r250State();
  r250SetState(before);
  blocks_.push_back(std::move(added));
}

DeviateTable::Block DeviateTable::block(std::size_t block) {
  while (blocks_.size() <= block) addBlock();
  return {blocks_[block]->words, blocks_[block]->tangents};
}

void DeviateTable::placeGenerator(std::size_t draws) {
  const std::size_t block = draws / kBlockEntries;
  if (block == blocks_.size()) {
    // Exactly at the end of the table: no draw to replay.
    if (draws % kBlockEntries == 0) {
      r250SetState(next_);
      return;
    }
  }
  this->block(block);
  r250SetState(blocks_[block]->start);
  for (std::size_t i = 0; i < draws % kBlockEntries; ++i) r250Uniform();
}

}  // namespace designopt
