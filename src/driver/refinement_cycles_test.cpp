// The fit report, the concavity check, the no-change test of a cut, and the
// pure-concave limit of the refinement cycles driven by a scripted console.
#include "driver/refinement_cycles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "driver/design_loop.h"
#include "numeric/quad_model.h"
#include "product/evaluation_counters.h"
#include "random/random_generators.h"

namespace designopt {
namespace {

TEST(FitReport, TextOfAnExactOneVariableQuadratic) {
  // y = 1 + 2 x + 3 x^2 at x = -1, 0, 1: fitted, then reported as the cycles report it.
  DMatrix P = matrix(1, 3, 1, 1);
  DVector y = dvector(1, 3);
  const double xs[] = {-1, 0, 1};
  for (int j = 1; j <= 3; ++j) {
    P[j][1] = xs[j - 1];
    y[j] = 1 + 2 * xs[j - 1] + 3 * xs[j - 1] * xs[j - 1];
  }
  DVector c = dvector(1, 3);
  const FitQuality fit = fitModel(1, 3, P, y, c);
  ::testing::internal::CaptureStdout();
  printFitReport(3, 3, c, fit);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "The ceofficients for function 4 (1 x1 x2 x1^2 x2^2 x1x2): \n"
            "1.000000\t2.000000\t3.000000\t\n"
            "The average fitting difference of function 4 is 0.000000.\n"
            "R_square = 1.000000\n"
            "maxPosiDiff  = 0.000000\n");
}

// Installs a quadratic model over n variables with the given square and cross-product
// coefficients (constant and linear terms 0.3 and 1, which the check must ignore).
class ConcavityTest : public ::testing::Test {
 protected:
  void install(int n, double square, double cross) {
    const int m = coefficientCount(n);
    coefs_ = dvector(1, m);
    coefs_[1] = 0.3;
    for (int i = 1; i <= n; ++i) coefs_[1 + i] = 1.0;
    for (int i = 1; i <= n; ++i) coefs_[n + 1 + i] = square;
    for (int k = 2 * n + 2; k <= m; ++k) coefs_[k] = cross;
    modelContext.n = n;
    modelContext.coefs = &coefs_;
  }
  DVector coefs_;
};

TEST_F(ConcavityTest, DownwardCurvatureOnEveryChordIsSuspicious) {
  for (int n : {1, 2, 3, 4}) {
    install(n, -1.0, 0.0);
    EXPECT_FALSE(passesConcavityCheck(n)) << "n = " << n;
  }
}

TEST_F(ConcavityTest, UpwardOrFlatCurvaturePasses) {
  install(3, 1.0, 0.0);
  EXPECT_TRUE(passesConcavityCheck(3));
  // A plane: the midpoint equals the mean of the ends, which is "not above".
  install(3, 0.0, 0.0);
  EXPECT_TRUE(passesConcavityCheck(3));
  // A saddle curves upwards along some chords.
  install(2, 0.0, 1.0);
  EXPECT_TRUE(passesConcavityCheck(2));
}

TEST_F(ConcavityTest, SameChordsOnEveryCallWhateverWasDrawnBefore) {
  install(3, -1.0, 0.0);
  std::int32_t seed = 0;
  shuffledUniform(seed);
  EXPECT_FALSE(passesConcavityCheck(3));
  EXPECT_FALSE(passesConcavityCheck(3));
}

TEST(CutChangedNothing, ThresholdIsStrictlyBelowOneTenThousandth) {
  struct Case {
    double lowerShift;
    double upperShift;
    bool unchanged;
  };
  const Case cases[] = {
      {0.0, 0.0, true},
      {0.00009, -0.00009, true},
      {0.0002, 0.0, false},   // one lower bound moved far enough
      {0.0, -0.0002, false},  // one upper bound moved far enough
  };
  for (const Case& c : cases) {
    DVector prevLower = dvector(1, 3), prevUpper = dvector(1, 3);
    DVector curLower = dvector(1, 3), curUpper = dvector(1, 3);
    for (int j = 1; j <= 3; ++j) {
      prevLower[j] = curLower[j] = j;
      prevUpper[j] = curUpper[j] = j + 10.0;
    }
    curLower[2] += c.lowerShift;
    curUpper[3] += c.upperShift;
    EXPECT_EQ(rangesUnchanged(3, prevLower, prevUpper, curLower, curUpper), c.unchanged)
        << c.lowerShift << " " << c.upperShift;
  }
  // A move of 0.0001 as computed in double: 1.0001 - 1 is just above 0.0001.
  DVector a = dvector(1, 1), b = dvector(1, 1), c = dvector(1, 1), d = dvector(1, 1);
  a[1] = 1.0;
  b[1] = 2.0;
  c[1] = 1.0001;
  d[1] = 2.0;
  EXPECT_EQ(rangesUnchanged(1, a, b, c, d), !(1.0001 - 1.0 >= 0.0001));
}

// A concave objective over [0, 1]^n in own units (n = 2 or 3).
int concaveVariables = 2;
double concaveObjective(const DVector& x) {
  double value = 10.0;
  for (int j = 1; j <= concaveVariables; ++j) value -= (x[j] - 0.5) * (x[j] - 0.5);
  return value;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class ScriptedCyclesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    concaveVariables = 2;
    setObjectiveForTesting(concaveObjective);
    resetGeneratorsForTesting();
  }
  void TearDown() override { setObjectiveForTesting(nullptr); }

  void feed(const std::string& text) {
    const std::string name = ::testing::TempDir() + "refinement_cycles_stdin_" + std::to_string(getpid()) + ".txt";
    std::ofstream(name, std::ios::binary) << text;
    ASSERT_NE(std::freopen(name.c_str(), "rb", stdin), nullptr);
  }

  // An n-variable state whose frame and current ranges are the unit square (cube).
  static void allocateUnitSquare(DesignState& s, int n = 2) {
    allocateDesignState(s, n);
    for (int j = 1; j <= n; ++j) {
      s.prevLower[j] = s.curLower[j] = 0.0;
      s.prevUpper[j] = s.curUpper[j] = 1.0;
    }
  }

  // The unit square (cube) with its initial design priced.
  static void startWithInitialDesign(DesignState& s, int n = 2) {
    allocateUnitSquare(s, n);
    s.nPoints = initialDesign(n, s.prevLower, s.prevUpper, s.points, s.funcValues, s.seed);
    evaluationCount = s.nPoints;
  }

  // Runs the cycles of an iteration on the unit square (cube) of n variables with its
  // initial design priced; returns the console output and the log.
  static void runCyclesFromInitialDesign(DesignState& s, int n, std::string& out, std::string& logText) {
    startWithInitialDesign(s, n);
    s.nAdded = 0;
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    ::testing::internal::CaptureStdout();
    runRefinementCycles(s, log);
    out = ::testing::internal::GetCapturedStdout();
    logText = readAndClose(log);
  }

  // Everything written to a temporary log; closes it.
  static std::string readAndClose(std::FILE* log) {
    std::rewind(log);
    std::string text;
    for (int c; (c = std::fgetc(log)) != EOF;) text += static_cast<char>(c);
    std::fclose(log);
    return text;
  }
};

// n = 2: six additions of two points to a suspicious model reach 2 x nCoefs = 12 and
// the WARNING ends the cycles. Each cycle: a typed cutting value far above the model
// (the cut moves nothing), '0' at "Continue cutting", 'n' at the difficulty prompt and
// a bare return at the terminate prompt.
TEST_F(ScriptedCyclesTest, PureConcaveLimitEndsTheCyclesAfterTwelvePoints) {
  std::string script;
  for (int cycle = 0; cycle < 6; ++cycle) script += "0 1e12\n0\nn\n\n";
  feed(script);

  DesignState s;
  std::string out, logText;
  runCyclesFromInitialDesign(s, 2, out, logText);

  EXPECT_EQ(s.nAdded, 12);
  EXPECT_EQ(s.nPoints, 18);
  EXPECT_EQ(evaluationCount, 18);
  EXPECT_NE(out.find("WARNING: This function is likely a pure concave function.\n"),
            std::string::npos);
  // Five additions before the limit go on with the next cycle.
  EXPECT_EQ(countOf(out, "=== Continue because suspicous concave function ==="), 5u);
  // Every added point lies in the frame and was priced.
  for (int i = 7; i <= 18; ++i) {
    for (int j = 1; j <= 2; ++j) {
      EXPECT_GT(s.points[i][j], 0.0);
      EXPECT_LT(s.points[i][j], 1.0);
    }
    EXPECT_GT(s.funcValues[i], 9.0);
  }

  EXPECT_NE(logText.find("\n To break the concave, the Points Added:\n"), std::string::npos);
  EXPECT_NE(logText.find("\nThe fitted coefs are :\n"), std::string::npos);
}

// n = 3: nCoefs is 10, and additions of 3 points (3, 6, ..., 18, 21) never meet the
// limit of 20 exactly: no WARNING; "Continue" follows the additions up to 18 points
// only, and the cycles go on past the limit until the designer answers '0' at the
// terminate prompt (here after the seventh addition, at 21 points).
TEST_F(ScriptedCyclesTest, ThreeVariablesNeverMeetThePureConcaveLimit) {
  concaveVariables = 3;
  std::string script;
  for (int cycle = 0; cycle < 7; ++cycle) script += "0 1e12\n0\nn\n\n";
  script += "0 1e12\n0\nn\n0\n";
  feed(script);

  DesignState s;
  std::string out, logText;
  runCyclesFromInitialDesign(s, 3, out, logText);

  EXPECT_EQ(s.nAdded, 21);
  EXPECT_EQ(s.nPoints, 10 + 21);
  EXPECT_EQ(out.find("WARNING: This function is likely a pure concave function."), std::string::npos);
  EXPECT_EQ(countOf(out, "=== Continue because suspicous concave function ==="), 6u);
  EXPECT_EQ(countOf(out, "Suspicious concave function occured"), 8u);
  EXPECT_EQ(countOf(logText, "To break the concave, the Points Added:"), 7u);
  EXPECT_NE(logText.find("You chose to ignore suspicious concave function."), std::string::npos);
}

// Input ending at the first cut: the finishing answers end the cutting, decline more
// points and ignore the suspicious model, so the cycles end without adding points.
TEST_F(ScriptedCyclesTest, EndOfInputIgnoresTheSuspiciousModel) {
  feed("");
  DesignState s;
  startWithInitialDesign(s);
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  ::testing::internal::CaptureStdout();
  runRefinementCycles(s, log);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(s.nPoints, 6);
  EXPECT_FALSE(s.concavityCheckPassed);
  const std::string logText = readAndClose(log);
  EXPECT_NE(logText.find("You chose to ignore suspicious concave function."), std::string::npos);
}

// A full point set refuses an addition instead of writing past row 250: the model
// passes the check, more points were asked for, and 249 + 2 would not fit.
TEST_F(ScriptedCyclesTest, FullPointSetAddsNoMorePoints) {
  feed("");
  DesignState s;
  allocateUnitSquare(s);
  for (int i = 1; i <= 249; ++i) {
    const double x1 = (i % 17) / 16.0;
    const double x2 = (i % 13) / 12.0;
    s.points[i][1] = x1;
    s.points[i][2] = x2;
    s.funcValues[i] = 10.0 + (x1 - 0.3) * (x1 - 0.3) + (x2 - 0.6) * (x2 - 0.6);
  }
  s.points[250][1] = -7.0;  // the last row must stay untouched
  s.nPoints = 249;
  s.morePointsAsked = true;
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  ::testing::internal::CaptureStdout();
  runRefinementCycles(s, log);
  const std::string out = ::testing::internal::GetCapturedStdout();
  std::fclose(log);
  EXPECT_TRUE(s.concavityCheckPassed);
  EXPECT_EQ(s.nPoints, 249);
  EXPECT_EQ(s.points[250][1], -7.0);
  EXPECT_NE(out.find("\n The point set is full (250 points); no more points are added.\n"),
            std::string::npos);
}

}  // namespace
}  // namespace designopt
