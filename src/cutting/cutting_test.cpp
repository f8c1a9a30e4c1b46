// Tests of the design space cutting: the value sort, the cutting energy's roots, the
// no-curvature cases, and the cut's console dialogue and new ranges.
#include "cutting/cutting.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "numeric/quad_model.h"

namespace designopt {
namespace {

DVector vectorOf(const std::vector<double>& values) {
  DVector v = dvector(1, static_cast<int>(values.size()));
  for (std::size_t k = 0; k < values.size(); ++k) v[static_cast<int>(k) + 1] = values[k];
  return v;
}

// Installs a model the way minimiseModel leaves it for the cut.
class CutModel : public ::testing::Test {
 protected:
  void install(const std::vector<double>& coefficients, int n) {
    coefs_ = vectorOf(coefficients);
    ASSERT_EQ(coefficientCount(n), static_cast<int>(coefficients.size()));
    modelContext.n = n;
    modelContext.coefs = &coefs_;
  }
  void TearDown() override { modelContext.coefs = nullptr; }

  // Feeds `text` to standard input.
  void feed(const std::string& text) {
    const std::string path = ::testing::TempDir() + "cutting_input_" + std::to_string(getpid()) + ".txt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ASSERT_NE(std::freopen(path.c_str(), "rb", stdin), nullptr);
  }

  // The energy at the point with coordinates 1..n, as the first evaluation of a search.
  double energy(int variable, int direction, const std::vector<double>& coordinates) {
    beginCutSearch(variable, direction);
    DVector x = vectorOf(coordinates);
    return cutEnnergy(x.data());
  }

  DVector coefs_;
};

TEST(SortValues, AscendingStableAndShortListsUntouched) {
  DVector v = vectorOf({3.0, -1.0, 2.0, -1.0, 0.5});
  sortValues(5, v);
  const double expected[] = {-1.0, -1.0, 0.5, 2.0, 3.0};
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(v[k], expected[k - 1]) << k;

  // Equal values keep their order: -0.0 and 0.0 compare equal but are told apart.
  DVector zeros = vectorOf({0.0, -0.0, 0.0});
  sortValues(3, zeros);
  EXPECT_FALSE(std::signbit(zeros[1]));
  EXPECT_TRUE(std::signbit(zeros[2]));
  EXPECT_FALSE(std::signbit(zeros[3]));

  DVector pair = vectorOf({2.0, 1.0});
  sortValues(1, pair);
  EXPECT_EQ(pair[1], 2.0);
  EXPECT_EQ(pair[2], 1.0);
}

// Direction 1 gives the smaller root, direction 2 minus the larger, whichever way the
// model curves; roots outside the box carry the box penalty.
TEST_F(CutModel, EnergyIsTheSmallerRootOrMinusTheLargerOne) {
  struct Case {
    std::vector<double> coefficients;  // n = 1: constant, x, x^2
    double level;
    double direction1;
    double direction2;
  };
  const Case cases[] = {
      {{-0.25, 0.0, 1.0}, 0.0, -0.5, -0.5},  // rising: roots -0.5 and 0.5
      {{0.25, 0.0, -1.0}, 0.0, -0.5, -0.5},  // falling curvature: the same roots
      {{0.0, -1.0, 2.0}, 0.0, 0.0, -0.5},    // roots 0 and 0.5
      {{-0.1, 0.0, 1.0}, 0.15, -0.5, -0.5},  // the level moves the roots
      {{-4.0, 0.0, 1.0}, 0.0, -2.0 + 1e8, -2.0 + 1e8},  // roots +-2, beyond the box
  };
  for (const Case& c : cases) {
    install(c.coefficients, 1);
    cuttingValue = c.level;
    EXPECT_DOUBLE_EQ(energy(1, 1, {0.3}), c.direction1) << c.coefficients[0];
    EXPECT_DOUBLE_EQ(energy(1, 2, {0.3}), c.direction2) << c.coefficients[0];
  }
  cuttingValue = 0.0;
}

// With several variables the other coordinates move the line: the energy's point lies
// on the level set of the full model.
TEST_F(CutModel, EnergyPointLiesOnTheLevelSetOfTheWholeModel) {
  // n = 3: constant, x1..x3, squares, x1x2, x1x3, x2x3.
  install({0.3, 0.2, -0.1, 0.4, 1.5, 0.8, 1.1, 0.3, -0.2, 0.25}, 3);
  cuttingValue = 1.0;
  const std::vector<double> x = {0.2, -0.3, 0.1};
  for (int i = 1; i <= 3; ++i) {
    const double lower = energy(i, 1, x);
    const double upper = -energy(i, 2, x);
    ASSERT_LT(lower, upper);
    for (double r : {lower, upper}) {
      std::vector<double> p = {0.0, x[0], x[1], x[2]};  // spare element first
      p[static_cast<std::size_t>(i)] = r;
      EXPECT_NEAR(modelValue(p.data()), cuttingValue, 1e-12) << "variable " << i;
    }
  }
  // Below the lowest value on the line: no root.
  cuttingValue = -10.0;
  EXPECT_EQ(energy(2, 1, x), std::numeric_limits<double>::infinity());
  cuttingValue = 0.0;
}

TEST_F(CutModel, NoCurvatureSolvesTheLinearLevelEquationAndSaysSo) {
  install({-1.0, 2.0, 0.0}, 1);  // 2 x - 1: the level 0 at x = 0.5
  cuttingValue = 0.0;
  ::testing::internal::CaptureStderr();
  const double lower = energy(1, 1, {0.0});
  const double upper = energy(1, 2, {0.0});
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lower, 0.5);
  EXPECT_EQ(upper, -0.5);
  EXPECT_EQ(messages,
            "Error: a=0 in Function: cutEnnergy !!!\nError: a=0 in Function: cutEnnergy !!!\n");

  install({-1.0, 0.0, 0.0}, 1);  // flat: the level is never met
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(energy(1, 1, {0.0}), std::numeric_limits<double>::infinity());
  EXPECT_EQ(energy(1, 2, {0.0}), std::numeric_limits<double>::infinity());
  ::testing::internal::GetCapturedStderr();

  // A tiny curvature is still reported, and the root formulas apply.
  install({-0.25, 0.0, 1e-13}, 1);
  ::testing::internal::CaptureStderr();
  const double tiny = energy(1, 1, {0.0});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: a=0 in Function: cutEnnergy !!!\n");
  EXPECT_GT(tiny, 1e8);  // the root lies far outside the box

  // Within one search the flat model is reported once, however often it is evaluated.
  ::testing::internal::CaptureStderr();
  beginCutSearch(1, 1);
  DVector x = vectorOf({0.0});
  for (int k = 0; k < 1000; ++k) cutEnnergy(x.data());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: a=0 in Function: cutEnnergy !!!\n");
}

class CutDialogue : public CutModel {
 protected:
  // A cut of the model x^2 - 0.25 (n = 1, minimum -0.25) over the frame [10, 20].
  std::string cut(const std::string& input, const std::vector<double>& values) {
    install({-0.25, 0.0, 1.0}, 1);
    feed(input);
    DVector prevLower = vectorOf({10.0});
    DVector prevUpper = vectorOf({20.0});
    curLower_ = vectorOf({-7.0});
    curUpper_ = vectorOf({-7.0});
    DVector funcValues = vectorOf(values);
    ::testing::internal::CaptureStdout();
    cutDesignSpace(1, static_cast<int>(values.size()), prevLower, prevUpper, curLower_,
                   curUpper_, funcValues, -0.25);
    return ::testing::internal::GetCapturedStdout();
  }
  DVector curLower_;
  DVector curUpper_;
};

TEST_F(CutDialogue, ChosenValueCutsToTheMappedRootsWithTheExactReport) {
  ::testing::internal::CaptureStderr();
  const std::string out = cut("1\n", {3.0, 0.0, 1.0});
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(out,
            "\n\n  -----  Cutting the Objective Function ------ \n"
            "The sorted funcValues are:\n"
            "1. 0.000000\n2. 1.000000\n3. 3.000000\n4. -0.250000\n\n"
            "Which one you want to choose as the criteria: 1,2,...:"
            "The 1, 0.000000, is chosen as the cutting value.\n\n"
            "\n \n --- Cutting results -----\n"
            "Old Range for x[1]: [10.000000, 20.000000]\n"
            "New Range for x[1]: [12.500000, 17.500000]\n\n");
  EXPECT_EQ(err, "\nminimizing x[1]...\n\n\nmaximazing x[1]...\n\n");
  EXPECT_EQ(cuttingValue, 0.0);
  EXPECT_EQ(curLower_[1], 12.5);
  EXPECT_EQ(curUpper_[1], 17.5);
}

// Every way of answering the choice prompt, with the level it leaves and the lines it
// writes between the prompt and the cutting results.
TEST_F(CutDialogue, ChoiceAnswers) {
  const std::string prompt = "Which one you want to choose as the criteria: 1,2,...:";
  const std::string typed = "Input your cutting value:";
  struct Case {
    const char* input;
    double previousLevel;
    double level;
    std::string dialogue;
  };
  const Case cases[] = {
      {"2 more\n", 9.0, 1.0, prompt + "The 2, 1.000000, is chosen as the cutting value.\n\n"},
      {"4\n", 9.0, -0.25, prompt + "The 4, -0.250000, is chosen as the cutting value.\n\n"},
      {"0\n0.1\n", 9.0, 0.1, prompt + typed},
      {"-2\n0.1\n", 9.0, 0.1, prompt + typed},
      {"5\n0.1\n", 9.0, 0.1, prompt + typed},
      {"abc\nxyz 3\n3\n", 9.0, 3.0,
       prompt + prompt + prompt + "The 3, 3.000000, is chosen as the cutting value.\n\n"},
      {"0\nnone\n", 0.1, 0.1, prompt + typed},  // not a number keeps the level
      {"", 0.1, 0.1, prompt + typed},           // end of input keeps it too
  };
  for (const Case& c : cases) {
    cuttingValue = c.previousLevel;
    ::testing::internal::CaptureStderr();
    const std::string out = cut(c.input, {3.0, 0.0, 1.0});
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(cuttingValue, c.level) << c.input;
    const std::size_t begin = out.find(prompt);
    const std::size_t end = out.find("\n \n --- Cutting results");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(out.substr(begin, end - begin), c.dialogue) << c.input;
  }
  cuttingValue = 0.0;
}

TEST_F(CutDialogue, RootsOutsideTheFrameKeepTheOldEnds) {
  struct Case {
    std::vector<double> coefficients;
    double lower;
    double upper;
  };
  const Case cases[] = {
      {{0.0, -2.0, 1.0}, 15.0, 20.0},  // roots 0 and 2: only the lower end moves
      {{-4.0, 0.0, 1.0}, 10.0, 20.0},  // roots -2 and 2: nothing moves
      {{1.0, 0.0, 1.0}, 10.0, 20.0},   // no root at all
  };
  for (const Case& c : cases) {
    install(c.coefficients, 1);
    feed("0\n0\n");
    DVector prevLower = vectorOf({10.0});
    DVector prevUpper = vectorOf({20.0});
    DVector curLower = vectorOf({0.0});
    DVector curUpper = vectorOf({0.0});
    DVector funcValues = vectorOf({1.0});
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    cutDesignSpace(1, 1, prevLower, prevUpper, curLower, curUpper, funcValues, 0.0);
    ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(curLower[1], c.lower) << c.coefficients[0];
    EXPECT_EQ(curUpper[1], c.upper) << c.coefficients[0];
  }
  cuttingValue = 0.0;
}

// A bowl x1^2 + x2^2 over the frame [0, 4] x [10, 20]: the annealing searches find the
// extent of the disc below the level; a repeated cut from the same frame repeats the
// result exactly instead of narrowing it; a level below the bowl changes nothing.
TEST_F(CutModel, BowlCutsToTheDiscAndRepeatsFromTheSameFrame) {
  install({0.0, 0.0, 0.0, 1.0, 1.0, 0.0}, 2);
  DVector prevLower = vectorOf({0.0, 10.0});
  DVector prevUpper = vectorOf({4.0, 20.0});
  DVector funcValues = vectorOf({0.25, 2.0});
  auto runCut = [&](const std::string& input, DVector& lower, DVector& upper) {
    feed(input);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    cutDesignSpace(2, 2, prevLower, prevUpper, lower, upper, funcValues, 0.0);
    ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
  };

  DVector firstLower = vectorOf({0.0, 0.0});
  DVector firstUpper = vectorOf({0.0, 0.0});
  runCut("1\n", firstLower, firstUpper);  // level 0.25: the disc of radius 0.5
  EXPECT_NEAR(firstLower[1], 1.0, 1e-3);
  EXPECT_NEAR(firstUpper[1], 3.0, 1e-3);
  EXPECT_NEAR(firstLower[2], 12.5, 1e-3);
  EXPECT_NEAR(firstUpper[2], 17.5, 1e-3);

  DVector secondLower = vectorOf({1.5, 14.0});  // whatever the ranges held before
  DVector secondUpper = vectorOf({2.5, 16.0});
  runCut("1\n", secondLower, secondUpper);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(secondLower[i], firstLower[i]);
    EXPECT_EQ(secondUpper[i], firstUpper[i]);
  }

  DVector belowLower = vectorOf({1.5, 14.0});
  DVector belowUpper = vectorOf({2.5, 16.0});
  runCut("0\n-0.5\n", belowLower, belowUpper);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(belowLower[i], prevLower[i]);
    EXPECT_EQ(belowUpper[i], prevUpper[i]);
  }
  cuttingValue = 0.0;
}

}  // namespace
}  // namespace designopt
