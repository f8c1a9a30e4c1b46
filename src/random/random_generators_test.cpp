// The generators' sequences are replayed by every run, so they are checked to the bit
// against known values, and the shuffled generator's shared table is checked for the
// way one caller's refill changes what another caller's ongoing seed draws.
#include "random/random_generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace designopt {
namespace {

constexpr std::int32_t kModulus = 2147483647;
constexpr double kScale = 4.656612875245797e-10;
constexpr double kShuffledCap = 0.99999988;

// Every test starts from the generators' state in a fresh process.
class GeneratorTest : public ::testing::Test {
 protected:
  void SetUp() override { resetGeneratorsForTesting(); }
};

using RandlcgTest = GeneratorTest;
using R250Test = GeneratorTest;
using ShuffledUniformTest = GeneratorTest;

TEST_F(RandlcgTest, FromStateOneFollowsTheKnownSequence) {
  EXPECT_EQ(lcgNext(), 16807);
  EXPECT_EQ(lcgNext(), 282475249);
  EXPECT_EQ(lcgNext(), 1622650073);
  std::int32_t value = 0;
  for (int i = 4; i <= 10000; ++i) value = lcgNext();
  EXPECT_EQ(value, 1043618065);
}

TEST_F(RandlcgTest, BothBranchesEqualTheExactProductModuloTheModulus) {
  // States on both sides of the Schrage quotient 127773, and the largest state.
  const std::int32_t states[] = {1, 2, 127772, 127773, 127774, 255546, 1043618065,
                                 2147483646};
  for (std::int32_t state : states) {
    lcgSetSeed(state);
    const std::int64_t expected = (std::int64_t{16807} * state) % kModulus;
    EXPECT_EQ(lcgNext(), expected) << "state " << state;
  }
}

TEST_F(R250Test, AfterSeed12331DrawsTheKnownWordsAndDeviates) {
  struct Draw {
    std::uint32_t word;
    double deviate;
  };
  const Draw draws[] = {{921148255u, 0.42894308242431983},
                        {1035486882u, 0.48218615468693254},
                        {1726728267u, 0.8040705080163062}};
  r250Seed(12331);
  for (const Draw& draw : draws) {
    const double r = r250Uniform();
    EXPECT_EQ(r, draw.deviate);
    EXPECT_EQ(r, draw.word * kScale);
  }
}

// The words behind the deviates: each deviate is a 31-bit word times the scale.
std::vector<std::uint32_t> drawR250Words(int count) {
  std::vector<std::uint32_t> words;
  for (int i = 0; i < count; ++i) {
    words.push_back(static_cast<std::uint32_t>(std::llround(r250Uniform() / kScale)));
  }
  return words;
}

TEST_F(R250Test, EveryWordIsTheXorOfTheWords250And147Before) {
  // Catches a wrong partner or a wrong wrap of the index, which the first draws miss.
  r250Seed(12331);
  const std::vector<std::uint32_t> d = drawR250Words(1200);
  for (int n = 250; n < 1200; ++n) {
    ASSERT_EQ(d[n], d[n - 250] ^ d[n - 147]) << "draw " << n;
    ASSERT_EQ(d[n] & 0x80000000u, 0u);
  }
}

TEST_F(R250Test, SeededTableComesFromRandlcgWithTheDiagonalWords) {
  // Recover the seeded table from the first 250 draws: draw i replaces word i by
  // word i XOR its partner (i + 103, or the already replaced word i - 147).
  r250Seed(12331);
  const std::vector<std::uint32_t> d = drawR250Words(250);
  std::uint32_t table[250];
  for (int i = 147; i < 250; ++i) table[i] = d[i] ^ d[i - 147];
  for (int i = 146; i >= 0; --i) table[i] = d[i] ^ table[i + 103];

  // The plain recurrence gives the words and, in a second pass, their bit 30.
  lcgSetSeed(12331);
  std::uint32_t expected[250];
  for (std::uint32_t& word : expected) word = static_cast<std::uint32_t>(lcgNext());
  for (std::uint32_t& word : expected) {
    if (static_cast<std::uint32_t>(lcgNext()) > 0x20000000u) word |= 0x40000000u;
  }

  for (int i = 0; i < 250; ++i) {
    const bool diagonal = i >= 3 && i <= 213 && (i - 3) % 7 == 0;
    if (!diagonal) {
      EXPECT_EQ(table[i], expected[i]) << "word " << i;
      continue;
    }
    // Diagonal word 7j + 3: bit 30 - j is its highest set bit, lower bits kept.
    const int j = (i - 3) / 7;
    const std::uint32_t lead = 0x40000000u >> j;
    EXPECT_EQ(table[i], (expected[i] & (lead - 1)) | lead) << "word " << i;
  }
  EXPECT_EQ(table[213], 1u);
}

TEST_F(R250Test, ReseedingRestartsTheSequence) {
  r250Seed(12331);
  const std::vector<std::uint32_t> first = drawR250Words(300);
  lcgSetSeed(99);  // the seeding sets the randlcg state itself
  r250Seed(12331);
  EXPECT_EQ(drawR250Words(300), first);
}

TEST_F(ShuffledUniformTest, FreshProcessSequenceIsTheSameForSeedsZeroMinusOneAndFive) {
  const double expected[] = {0.41599935685098144, 0.09196489075755929, 0.7564104859514211};
  for (std::int32_t start : {0, -1, 5}) {
    resetGeneratorsForTesting();
    std::int32_t seed = start;
    for (double value : expected) EXPECT_EQ(shuffledUniform(seed), value) << "seed " << start;
    EXPECT_EQ(seed, 1551901393) << "seed " << start;
  }
}

TEST_F(ShuffledUniformTest, RefillWithNegativeSeedRedirectsAnOngoingStream) {
  // The second deviate of a stream started from -7.
  std::int32_t reference = -7;
  shuffledUniform(reference);
  const double secondOfMinusSeven = shuffledUniform(reference);

  // An ongoing stream, undisturbed.
  resetGeneratorsForTesting();
  std::int32_t alone = 0;
  shuffledUniform(alone);
  const double undisturbed = shuffledUniform(alone);
  const std::int32_t undisturbedSeed = alone;

  // The same stream with a refill from -7 between its draws: it now draws from the
  // new table, while its own seed variable advances as before.
  resetGeneratorsForTesting();
  std::int32_t ongoing = 0;
  shuffledUniform(ongoing);
  std::int32_t other = -7;
  shuffledUniform(other);
  const double redirected = shuffledUniform(ongoing);
  EXPECT_EQ(redirected, secondOfMinusSeven);
  EXPECT_NE(redirected, undisturbed);
  EXPECT_EQ(ongoing, undisturbedSeed);
}

TEST_F(ShuffledUniformTest, DeviatesStayInsideTheOpenIntervalAndSeedsInRange) {
  for (std::int32_t start : {0, -1, -250, 3, std::numeric_limits<std::int32_t>::max() - 1}) {
    std::int32_t seed = start;
    for (int i = 0; i < 20000; ++i) {
      const double r = shuffledUniform(seed);
      ASSERT_GT(r, 0.0) << "seed " << start;
      ASSERT_LE(r, kShuffledCap) << "seed " << start;
      ASSERT_GE(seed, 1) << "seed " << start;
      ASSERT_LE(seed, kModulus - 1) << "seed " << start;
    }
  }
}

TEST_F(ShuffledUniformTest, LargestTableEntriesAreCapped) {
  // The first deviate of a refill from 9689735 is a table entry above the cap.
  std::int32_t seed = -9689735;
  EXPECT_EQ(shuffledUniform(seed), kShuffledCap);
}

TEST_F(ShuffledUniformTest, SeedsThatWouldLockTheRecurrenceAtZeroStartFromOne) {
  // -2147483647 and 2147483647 step to 0 and the most negative int has no negation:
  // each refills from 1 like the zero seed, even after the table has been filled.
  const std::int32_t seeds[] = {-kModulus, kModulus, std::numeric_limits<std::int32_t>::min()};
  for (std::int32_t start : seeds) {
    std::int32_t filler = -3;
    shuffledUniform(filler);
    std::int32_t seed = start;
    EXPECT_EQ(shuffledUniform(seed), 0.41599935685098144) << "seed " << start;
    EXPECT_EQ(shuffledUniform(seed), 0.09196489075755929) << "seed " << start;
  }
}

}  // namespace
}  // namespace designopt
