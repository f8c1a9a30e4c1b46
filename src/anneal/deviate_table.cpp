// The table of deviates and tangents after one seeding of r250. Each entry is computed
// by the very expressions the jump uses, in the same order, so a value read from the
// table is the value the jump would compute: the table changes no annealing path.
#include "anneal/deviate_table.h"

#include <cmath>
#include <cstring>
#include <new>

#include "numeric/one_based.h"

namespace designopt {

namespace {

// A block of `bytes` from the failable allocator; memory running out is fatal.
void* allocateOrEnd(std::size_t bytes) {
  void* block = allocateArrayBlock(bytes);
  if (block == nullptr) numericFatal(kDeviateTableAllocationFailure);
  return block;
}

// Makes room for one more entry in a list of pointers that grows by doubling.
template <typename T>
void growList(T**& list, std::size_t count, std::size_t& room) {
  if (count < room) return;
  const std::size_t newRoom = room == 0 ? 8 : room * 2;
  auto** grown = static_cast<T**>(allocateOrEnd(newRoom * sizeof(T*)));
  if (count > 0) std::memcpy(grown, list, count * sizeof(T*));
  releaseArrayBlock(list);
  list = grown;
  room = newRoom;
}

}  // namespace

DeviateTable::DeviateTable(std::int32_t seed, double halfAngle)
    : seed_(seed), halfAngle_(halfAngle) {
  const R250State before = r250State();
  r250Seed(seed);
  next_ = r250State();
  r250SetState(before);
}

DeviateTable::~DeviateTable() {
  for (std::size_t b = 0; b < blockCount_; ++b) releaseArrayBlock(blocks_[b]);
  releaseArrayBlock(blocks_);
}

void DeviateTable::addBlock() {
  growList(blocks_, blockCount_, blockRoom_);
  // Every field is written below: no zero-filling first. Draws is plain data.
  auto* added = static_cast<Draws*>(allocateOrEnd(sizeof(Draws)));
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
  blocks_[blockCount_++] = added;
}

DeviateTable::Block DeviateTable::block(std::size_t block) {
  while (blockCount_ <= block) addBlock();
  return {blocks_[block]->words, blocks_[block]->tangents};
}

void DeviateTable::placeGenerator(std::size_t draws) {
  const std::size_t block = draws / kBlockEntries;
  if (block == blockCount_) {
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

DeviateTables::~DeviateTables() {
  for (std::size_t t = 0; t < count_; ++t) {
    tables_[t]->~DeviateTable();
    releaseArrayBlock(tables_[t]);
  }
  releaseArrayBlock(tables_);
}

DeviateTable* DeviateTables::tableFor(std::int32_t seed, double halfAngle) {
  for (std::size_t t = 0; t < count_; ++t) {
    if (tables_[t]->seed() == seed && tables_[t]->halfAngle() == halfAngle) return tables_[t];
  }
  growList(tables_, count_, room_);
  void* place = allocateOrEnd(sizeof(DeviateTable));
  tables_[count_] = new (place) DeviateTable(seed, halfAngle);
  return tables_[count_++];
}

}  // namespace designopt
