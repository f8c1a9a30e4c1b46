// Tests that the deviate tables change nothing: each entry against the generator and
// the tangent taken directly, for several seeds and half-angles side by side, and whole
// searches read from the tables against the same searches drawing every deviate and
// taking every tangent themselves.
#include "anneal/deviate_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "anneal/annealer.h"
#include "anneal/search_sequence.h"
#include "numeric/one_based.h"
#include "random/random_generators.h"

namespace designopt {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(DeviateTable, EveryEntryIsTheDirectDrawAndTangentForEachSeedAndHalfAngle) {
  constexpr std::size_t kDraws = 3 * DeviateTable::kBlockEntries + 17;
  struct Key {
    std::int32_t seed;
    double halfAngle;
  };
  const Key keys[] = {{12331, 1.5707813268}, {12331, 1.2}, {4711, 1.5707813268}};
  std::deque<DeviateTable> tables;  // a table neither copies nor moves
  for (const Key& key : keys) tables.emplace_back(key.seed, key.halfAngle);

  // Built side by side and out of order, the tables hold what each seeding gives alone.
  r250Seed(99);
  const R250State outside = r250State();
  tables[1].block(1);
  tables[0].block(0);
  tables[2].block(3);
  EXPECT_TRUE(r250State() == outside);  // building a table leaves the generator alone

  for (std::size_t t = 0; t < tables.size(); ++t) {
    r250Seed(keys[t].seed);
    const double h = keys[t].halfAngle;
    for (std::size_t j = 0; j < kDraws; ++j) {
      const double u = r250Uniform();
      const DeviateTable::Block b = tables[t].block(j / DeviateTable::kBlockEntries);
      const std::size_t i = j % DeviateTable::kBlockEntries;
      ASSERT_TRUE(sameBits(r250UniformOfWord(b.words[i]), u)) << "table " << t << " draw " << j;
      ASSERT_TRUE(sameBits(b.tangents[i], std::tan(2 * h * u - h))) << "table " << t << " draw " << j;
    }
  }
}

TEST(DeviateTable, PlacesTheGeneratorWhereTheDrawsLeaveIt) {
  DeviateTable table(12331, 1.5707813268);
  const std::size_t k = DeviateTable::kBlockEntries;
  // Inside the table, at its end, and beyond it (the table grows to get there).
  for (std::size_t draws : {std::size_t{0}, std::size_t{1}, k - 1, k, k + 5, 2 * k, 5 * k + 3}) {
    r250Seed(12331);
    for (std::size_t i = 0; i < draws; ++i) r250Uniform();
    const R250State direct = r250State();
    r250Seed(7);
    table.placeGenerator(draws);
    EXPECT_TRUE(r250State() == direct) << draws << " draws";
  }
}

// A cost function that records every point it is given, bit for bit, in order.
std::vector<double> visited;
int recordedDim = 0;
CostFunction recordedCost = nullptr;
double recordingCost(const double* x) {
  visited.insert(visited.end(), x, x + recordedDim);
  return recordedCost(x);
}

double bowl(const double* x) {
  const double a = x[1] - 0.3, b = x[2] + 0.2;
  return a * a + 10 * b * b - 1;
}
// Many local minima and positive energies: many rises, so many acceptance draws.
double rugged(const double* x) {
  double e = 2;
  for (int i = 1; i <= recordedDim - 1; ++i) e += x[i] * x[i] + 0.5 * std::cos(7 * x[i]);
  return e;
}
// Boxed like the model searches: a steep penalty outside [-1, 1].
double boxedSlope(const double* x) {
  double e = x[1] - 2 * x[recordedDim - 1];
  for (int i = 1; i <= recordedDim - 1; ++i) {
    const double out = std::fabs(x[i]) - 1;
    if (out > 0) e += 1e8 * out * out;
  }
  return e;
}

struct SearchCase {
  const char* name;
  CostFunction cost;
  int n;
  double factor;
  int skipped;
  double halfAngle;
};

struct SearchRecord {
  double result = 0;
  std::vector<double> best;
  std::vector<double> points;
  R250State after{};
};

SearchRecord runSearch(const SearchCase& c, bool tables) {
  useDeviateTablesForTesting(tables);
  setJumpHalfAngleForTesting(c.halfAngle);
  visited.clear();
  recordedDim = c.n + 1;
  recordedCost = c.cost;
  DVector x = dvector(1, c.n);
  for (int k = 0; k <= c.n; ++k) x[k] = 0.25;  // a skipped coordinate keeps this value
  SearchRecord r;
  r.result = annealingSearch(recordingCost, x, c.n, c.factor, c.skipped);
  r.best.assign(x.data(), x.data() + c.n + 1);
  r.points = visited;
  r.after = r250State();
  releaseDVector(x, 1, c.n);
  setJumpHalfAngleForTesting(Annealer().halfAngle);
  useDeviateTablesForTesting(true);
  return r;
}

void expectSameSearch(const SearchRecord& table, const SearchRecord& direct, const char* name) {
  EXPECT_TRUE(sameBits(table.result, direct.result)) << name;
  ASSERT_EQ(table.best.size(), direct.best.size()) << name;
  for (std::size_t k = 0; k < table.best.size(); ++k) {
    EXPECT_TRUE(sameBits(table.best[k], direct.best[k])) << name << " best[" << k << "]";
  }
  ASSERT_EQ(table.points.size(), direct.points.size()) << name;
  for (std::size_t i = 0; i < table.points.size(); ++i) {
    ASSERT_TRUE(sameBits(table.points[i], direct.points[i])) << name << " value " << i;
  }
  EXPECT_TRUE(table.after == direct.after) << name << ": r250 left elsewhere";
}

TEST(AnnealerDeviateTables, SearchesFollowTheDirectPathsThroughChangesOfParameters) {
  const double h = Annealer().halfAngle;
  const SearchCase cases[] = {
      {"bowl, n = 2", bowl, 2, 1.2, 0, h},
      {"rugged, n = 3", rugged, 3, 1.2, 0, h},
      {"boxed slope, n = 3, cut factor, second coordinate kept", boxedSlope, 3, 3.0, 2, h},
      {"rugged, n = 5", rugged, 5, 3.0, 0, h},
      {"rugged, n = 1", rugged, 1, 1.2, 0, h},
      {"rugged, n = 7, a dimension without a jump of its own", rugged, 7, 1.2, 0, h},
      {"bowl, half-angle 1.2", bowl, 2, 1.2, 0, 1.2},
      {"rugged, n = 3, half-angle 1.2", rugged, 3, 1.2, 0, 1.2},
      {"boxed slope, n = 4, half-angle pi/2 - 1e-3", boxedSlope, 4, 1.2, 1, 1.5697963268},
      {"bowl, n = 2, again after the other half-angles", bowl, 2, 1.2, 0, h},
      {"rugged, n = 3, again", rugged, 3, 1.2, 0, h},
  };
  for (const SearchCase& c : cases) {
    const SearchRecord table = runSearch(c, true);
    const SearchRecord direct = runSearch(c, false);
    ASSERT_FALSE(table.points.empty());
    expectSameSearch(table, direct, c.name);
  }
}

TEST(AnnealerDeviateTables, ADrawOutsideTheEngineMidSearchIsHonoured) {
  // The caller draws from r250 between the engine's steps: the engine must continue
  // from where that draw leaves the generator, as a direct search does.
  auto search = [](bool tables) {
    useDeviateTablesForTesting(tables);
    visited.clear();
    recordedDim = 3;
    recordedCost = rugged;
    SAInit(recordingCost, 3);
    double start[3] = {0, 0.5, -0.5};
    SASetStart(start);
    SAHeat(20);
    const double outside = r250Uniform();
    SACool(50);
    SearchRecord r;
    r.result = outside;
    r.points = visited;
    r.after = r250State();
    useDeviateTablesForTesting(true);
    return r;
  };
  const SearchRecord table = search(true);
  const SearchRecord direct = search(false);
  expectSameSearch(table, direct, "draw between heating and cooling");
}

}  // namespace
}  // namespace designopt
