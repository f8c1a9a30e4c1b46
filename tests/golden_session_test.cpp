// Full scripted sessions compared byte for byte with transcripts recorded in
// tests/golden/: the standard output and error streams, the run log, the last
// "outexcel.dat" and the problem file "input.dat". The annealing path is chaotic, so
// any change of a rounding, of the order of an operation or of a random draw anywhere
// in the optimiser shows up here; changes that only make the program faster must keep
// every byte.
//
// Each session directory holds its console input, "answers.txt", and the name of the
// fake cost its Tallowin computes, "fake-cost.txt" ("convex" or "concave"), so that
// scripts/wine-compare.sh can run the same sessions with the Windows build.
//
// The date of the run is the one thing that differs between runs: it is taken from
// the first line of "input.dat" (where designopt wrote it), the run log is looked up
// under the name built from it, and every occurrence of it is replaced by "<date>".
//
// To record the transcripts anew after a deliberate change of output, run
//   DESIGNOPT_UPDATE_GOLDEN=1 build/tests/program_tests --gtest_filter='GoldenSession*'
// and review the difference in git before committing it.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "session_harness.h"

namespace designopt_tests {
namespace {

std::string goldenPath(const std::string& session, const std::string& file) {
  return std::string(DESIGNOPT_SOURCE_DIR "/tests/golden/") + session + "/" + file;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string replaceAll(std::string text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

class GoldenSessionTest : public ProgramSessionTest {
 protected:
  // Runs the session on its answers and fake cost and compares (or, with
  // DESIGNOPT_UPDATE_GOLDEN set, records) its five transcripts.
  void checkSession(const std::string& session) {
    const std::string cost = readText(goldenPath(session, "fake-cost.txt"));
    ASSERT_TRUE(cost == "convex\n" || cost == "concave\n") << session << ": " << cost;
    useCostFormula(cost == "convex\n" ? kConvexCost : kConcaveCost);
    const std::string answers = readText(goldenPath(session, "answers.txt"));
    ASSERT_FALSE(answers.empty()) << session;
    const SessionResult r = run(answers);
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string problem = readFile("input.dat");
    const std::string date = problem.substr(0, problem.find('\n'));
    std::istringstream words(date);
    std::string month, day, year;
    words >> month >> day >> year;
    ASSERT_FALSE(year.empty()) << "no date line in input.dat:\n" << problem;
    const std::string logName = "log" + month + day + year + ".dat";
    ASSERT_TRUE(fileExists(logName)) << logName;

    const struct {
      const char* golden;
      std::string actual;
    } transcripts[] = {
        {"stdout.txt", r.out},
        {"stderr.txt", r.err},
        {"run-log.txt", readFile(logName)},
        {"outexcel.dat", readFile("outexcel.dat")},
        {"input.dat", problem},
    };
    const bool update = std::getenv("DESIGNOPT_UPDATE_GOLDEN") != nullptr;
    for (const auto& t : transcripts) {
      const std::string actual = replaceAll(t.actual, date, "<date>");
      const std::string path = goldenPath(session, t.golden);
      if (update) {
        std::ofstream(path, std::ios::binary) << actual;
        continue;
      }
      const std::string expected = readText(path);
      ASSERT_FALSE(expected.empty()) << "missing golden file " << path;
      EXPECT_EQ(actual, expected) << "differs from " << path;
    }
  }
};

// The demo's answers (two iterations with a cut each, the point augmentation between
// them, a satisfied designer) on the convex fake cost; "answers.txt" is a link to
// examples/demo-answers.txt.
TEST_F(GoldenSessionTest, DemoAnswersOnTheConvexCost) { checkSession("demo-convex"); }

// Two designs in one run on the concave fake cost, appending to one run log: the
// first goes through the suspicious-concave prompts and a typed cutting level, the
// second (another grille, own thickness and room temperature) through points added
// both to break the concave and to help cutting, two cuts in one cycle and a second
// iteration with the point augmentation. The answers, after each design's prompts and
// eleven pricing confirmations:
//   first:  "1" "0" cut at the lowest value, stop cutting; four returns (terminate prompt,
//           confirmations); "0" "1e9" "0" a typed level above the model, stop cutting;
//           "y" "0" more points, then terminate; a confirmation, "y" happy; "yes" another
//   second: "0" "-1e9" "0" a level below the model, nothing moves; "y" more points; four
//           returns; "2", return, "1", "0" cut, cut again, stop cutting; "0" terminate;
//           two returns (not happy yet); iteration 2's one new point; "1" "0" "0" cut at
//           the lowest value, stop cutting, terminate; a confirmation, "y" happy; "n"
TEST_F(GoldenSessionTest, TwoDesignsOnTheConcaveCost) { checkSession("two-designs-concave"); }

}  // namespace
}  // namespace designopt_tests
