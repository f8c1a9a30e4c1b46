// Tests of the annealing engine: its parameters, the exact jump, the stall rules of
// settling, the stopping rule of heating, the draws of cooling, and reproducibility.
#include "anneal/annealer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "anneal/search_sequence.h"
#include "numeric/one_based.h"
#include "random/random_generators.h"

namespace designopt {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A cost function with a script: counts calls and answers from per-test state.
int calls = 0;
double constantEnergy = 1.0;
double constantCost(const double*) {
  ++calls;
  return constantEnergy;
}
double risingCost(const double*) {
  ++calls;
  return static_cast<double>(calls);
}
double fallingNegativeCost(const double*) {
  ++calls;
  return -1.0 - calls;
}
double halvingCost(const double*) {
  ++calls;
  return std::ldexp(1.0, -calls);
}

// The deviates r250 hands out after the engine's reseeding, skipping `skip` of them.
double deviateAfterReseed(int skip) {
  r250Seed(12331);
  for (int i = 0; i < skip; ++i) r250Uniform();
  return r250Uniform();
}

TEST(Annealer, InitSetsTheTableValuesAndSettersIgnoreNonPositiveArguments) {
  calls = 0;
  ASSERT_EQ(SAInit(constantCost, 4), 1);
  const Annealer& a = annealerState();
  EXPECT_EQ(a.dim, 4);
  EXPECT_EQ(a.temperature, 0.0);
  EXPECT_EQ(a.acceptK, 1.0);
  EXPECT_EQ(a.currentEnergy, kInfinity);
  EXPECT_EQ(a.bestEnergy, kInfinity);
  const double firstDeviate = r250Uniform();
  EXPECT_EQ(firstDeviate, deviateAfterReseed(0));  // reseeded with 12331

  EXPECT_EQ(SASetTemp(2.5), 2.5);
  EXPECT_EQ(SASetAcceptK(0.5), 0.5);
  for (double ignored : {0.0, -1.0, -kInfinity}) {
    EXPECT_EQ(SASetTemp(ignored), 2.5);
    EXPECT_EQ(SASetAcceptK(ignored), 0.5);
  }
  EXPECT_EQ(calls, 0);
}

TEST(Annealer, InitFailsWhenAnArrayCannotBeAllocatedAndRecoversOnTheNextInit) {
  static int allowed;
  auto limitedAllocator = [](std::size_t bytes) -> void* {
    return allowed-- > 0 ? std::malloc(bytes) : nullptr;
  };
  for (int arraysBeforeFailure : {0, 1, 2}) {
    allowed = arraysBeforeFailure;
    setArrayAllocatorForTesting(limitedAllocator);
    EXPECT_EQ(SAInit(constantCost, 3), 0);
    setArrayAllocatorForTesting(nullptr);
  }
  // The next search releases what the failed one left (the leak checker watches this).
  EXPECT_EQ(SAInit(constantCost, 3), 1);
}

TEST(Annealer, JumpMovesEachCoordinateByTheTangentOfItsOwnDeviate) {
  const double h = 1.5707813268;
  const double start[3] = {0.25, -0.5, 0.75};
  const double t = 3.0;
  double expected[3];
  r250Seed(12331);
  for (int k = 0; k < 3; ++k) {
    const double u = r250Uniform();
    expected[k] = start[k] + ((t * 0.5) * std::tan((2 * h) * u - h));
  }

  static double seen[3];
  ASSERT_EQ(SAInit([](const double* p) { std::memcpy(seen, p, sizeof seen); return 1.0; }, 3), 1);
  SASetStart(start);
  SASettle(t, 1);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(seen[k], expected[k]) << "coordinate " << k;
}

TEST(Annealer, JumpsStayWithinTheTangentBound) {
  // The cost sees the trial while current still holds the point it jumped from.
  static double largestRatio;
  static double temperature;
  largestRatio = 0;
  temperature = 0.7;
  auto recordingCost = [](const double* p) {
    const Annealer& a = annealerState();
    for (int k = 0; k < a.dim; ++k) {
      const double ratio = std::fabs(p[k] - a.current[k]) / (a.stepScale * temperature);
      if (ratio > largestRatio) largestRatio = ratio;
    }
    return 1.0;  // never lower once accepted: every settling ends after 10 stalls
  };
  ASSERT_EQ(SAInit(recordingCost, 4), 1);
  for (int i = 0; i < 2000; ++i) SASettle(temperature, 20);
  EXPECT_LE(largestRatio, 66666.69);
  EXPECT_GT(largestRatio, 1000.0);  // the tangent's heavy tail is really there
}

TEST(Annealer, FirstCandidateAfterInitIsAcceptedAndBecomesBest) {
  static double seen[2];
  auto hugeCost = [](const double* p) {
    std::memcpy(seen, p, sizeof seen);
    return 1e300;
  };
  ASSERT_EQ(SAInit(hugeCost, 2), 1);
  const double start[2] = {0.0, 0.0};
  SASetStart(start);
  SASettle(1.0, 1);
  const Annealer& a = annealerState();
  EXPECT_EQ(a.currentEnergy, 1e300);
  EXPECT_EQ(a.bestEnergy, 1e300);
  double best[2], current[2];
  SAGetBest(best);
  SAGetCurrent(current);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(best[k], seen[k]);
    EXPECT_EQ(current[k], seen[k]);
  }
}

TEST(Annealer, SettlingCountsStallsByRelativeGain) {
  struct Case {
    const char* name;
    CostFunction cost;
    int expectedTrials;
  };
  const Case cases[] = {
      // Negative energies: every gain divided by its energy is negative, so a stall.
      {"falling negative energies", fallingNegativeCost, 10},
      // Each energy half the last: relative gain 1, the stall count keeps returning to 0.
      {"halving energies", halvingCost, 20},
      // The first trial is accepted from +infinity, then ten equal energies stall.
      {"equal energies", constantCost, 11},
      {"rising energies", risingCost, 11},
  };
  for (const Case& c : cases) {
    calls = 0;
    constantEnergy = 1.0;
    ASSERT_EQ(SAInit(c.cost, 2), 1);
    SASettle(1.0, 20);
    EXPECT_EQ(calls, c.expectedTrials) << c.name;
  }
  calls = 0;
  SASettle(1.0, 0);
  SASettle(1.0, -3);
  EXPECT_EQ(calls, 0);
}

// Heating: settling trials never succeed (+infinity); the heated point's energies come
// from a script, so the iteration where heating stops is known. While settingUp holds,
// every point costs startEnergy, which gives the current point a finite energy first.
bool settingUp = false;
double startEnergy = 0;
std::vector<double> heatedEnergies;
std::size_t heatedIndex = 0;
double scriptedHeatCost(const double* p) {
  if (settingUp) return startEnergy;
  if (p != annealerState().current) return kInfinity;
  return heatedEnergies[heatedIndex++];
}

TEST(Annealer, HeatingStopsOnARiseAboveAHundredTimesThePreviousRiseButNeverFirst) {
  struct Case {
    const char* name;
    double startEnergy;  // +infinity: straight after SAInit
    std::vector<double> energies;
    std::size_t iterations;
  };
  const Case cases[] = {
      {"first iteration rises", 5.0, {1e6, 1e6 + 1, 1e6 + 1 + 1000, 0, 0}, 3},
      {"first rise later", kInfinity, {100, 1e6, 1e6 + 1, 1e6 + 1 + 1000, 0, 0}, 4},
      {"a fall keeps the last rise", kInfinity, {100, 200, 150, 150 + 10001, 0}, 4},
      {"exactly a hundred times goes on", kInfinity, {100, 200, 200 + 10000, 0, 0}, 5},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SAInit(scriptedHeatCost, 2), 1);
    if (c.startEnergy != kInfinity) {
      settingUp = true;
      startEnergy = c.startEnergy;
      SASettle(0.1, 1);
      settingUp = false;
      ASSERT_EQ(annealerState().currentEnergy, c.startEnergy);
    }
    heatedEnergies = c.energies;
    heatedIndex = 0;
    const double t = SAHeat(static_cast<int>(c.energies.size()));
    EXPECT_EQ(heatedIndex, c.iterations) << c.name;
    double expectedT = 0.0;
    for (std::size_t i = 0; i < heatedIndex; ++i) expectedT = expectedT + 0.1;
    EXPECT_EQ(t, expectedT) << c.name;
    EXPECT_EQ(SASetTemp(-1), t) << c.name;
  }
}

TEST(Annealer, IterationCountsBelowOneMeanFourHundred) {
  struct Run {
    int evaluations;
    double temperature;
  };
  auto heat = [](int iterations) {
    calls = 0;
    SAInit(constantCost, 3);
    const double t = SAHeat(iterations);
    return Run{calls, t};
  };
  auto cool = [](int iterations) {
    calls = 0;
    SAInit(constantCost, 3);
    SASetTemp(2.0);
    const double t = SACool(iterations);
    return Run{calls, t};
  };
  // Heating with equal energies never stops: 400 x (10 stalls + 1 evaluation) + the
  // acceptance from +infinity.
  const Run heat400 = heat(400);
  EXPECT_EQ(heat400.evaluations, 4401);
  // Cooling: 11 settling trials, 400 x (10 + 1), a final settling of 10 trials.
  const Run cool400 = cool(400);
  EXPECT_EQ(cool400.evaluations, 11 + 400 * 11 + 10);
  EXPECT_EQ(cool400.temperature, 2.0 / (1 + 399 * 0.1));
  for (int below : {0, -1, -400}) {
    EXPECT_EQ(heat(below).evaluations, heat400.evaluations) << below;
    EXPECT_EQ(heat(below).temperature, heat400.temperature) << below;
    EXPECT_EQ(cool(below).evaluations, cool400.evaluations) << below;
    EXPECT_EQ(cool(below).temperature, cool400.temperature) << below;
  }
}

TEST(Annealer, CoolingDrawsAnAcceptanceDeviateOnlyForARise) {
  struct Case {
    const char* name;
    CostFunction cost;
    int deviatesPerIteration;  // beyond the jumps' own
  };
  const Case cases[] = {{"equal energies are accepted without a draw", constantCost, 0},
                        {"every candidate rises", risingCost, 1}};
  const int dim = 3;
  const int iterations = 7;
  for (const Case& c : cases) {
    calls = 0;
    ASSERT_EQ(SAInit(c.cost, dim), 1);
    SASetTemp(1.5);
    const double tLast = SACool(iterations);
    EXPECT_EQ(tLast, 1.5 / (1 + (iterations - 1) * 0.1)) << c.name;
    const int jumps = 11 + iterations * 11 + 10;
    EXPECT_EQ(calls, jumps) << c.name;
    const double next = r250Uniform();
    EXPECT_EQ(next, deviateAfterReseed(jumps * dim + iterations * c.deviatesPerIteration))
        << c.name;
  }
}

int bowlCalls = 0;
double bowl(const double* x) {
  ++bowlCalls;
  const double a = x[1] - 0.3, b = x[2] + 0.2;
  return a * a + 10 * b * b - 1;
}

TEST(SearchSequence, FindsTheBowlAndRepeatsItselfBitForBit) {
  auto search = [](DVector& x) {
    bowlCalls = 0;
    return annealingSearch(bowl, x, 2, 1.2);
  };
  DVector first = dvector(1, 2);
  DVector second = dvector(1, 2);
  const double v1 = search(first);
  const int calls1 = bowlCalls;
  // Another search in between, of another dimension, leaves nothing behind.
  DVector other = dvector(1, 4);
  annealingSearch(bowl, other, 4, 3.0, 2);
  const double v2 = search(second);
  EXPECT_EQ(v1, v2);
  EXPECT_EQ(bowlCalls, calls1);
  for (int k = 0; k <= 2; ++k) EXPECT_EQ(first[k], second[k]);
  EXPECT_EQ(v1, bowl(first.data()));
  EXPECT_NEAR(v1, -1.0, 1e-3);
  EXPECT_NEAR(first[1], 0.3, 0.05);
  EXPECT_NEAR(first[2], -0.2, 0.05);
}

TEST(SearchSequence, SkippedCoordinateKeepsTheCallersValueAtTheStart) {
  static double firstSeen[4];
  static bool seenOne;
  seenOne = false;
  auto firstPointCost = [](const double* p) {
    if (!seenOne) std::memcpy(firstSeen, p, sizeof firstSeen);
    seenOne = true;
    return p[1] * p[1] + p[3] * p[3];
  };
  DVector x = dvector(1, 3);
  x[2] = 0.625;
  annealingSearch(firstPointCost, x, 3, 3.0, 2);
  r250Seed(12331);
  const double x1 = 2 * r250Uniform() - 1;
  const double x3 = 2 * r250Uniform() - 1;
  EXPECT_EQ(firstSeen[1], x1);
  EXPECT_EQ(firstSeen[2], 0.625);
  EXPECT_EQ(firstSeen[3], x3);
}

TEST(SearchSequenceDeathTest, FailingInitEndsTheProcess) {
  EXPECT_EXIT(
      {
        setArrayAllocatorForTesting([](std::size_t) -> void* { return nullptr; });
        DVector x;
        annealingSearch(constantCost, x, 2, 1.2);
      },
      ::testing::ExitedWithCode(1), "^trouble initializing in SAInit\n$");
}

}  // namespace
}  // namespace designopt
