// The run log reader on the golden sessions' logs and on logs cut, altered and foreign.
#include "report/run_log_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "report/fitted_surface.h"
#include "report/report_page.h"

namespace designopt {
namespace {

std::string goldenLog(const char* session) {
  std::ifstream in(std::string(DESIGNOPT_SOURCE_DIR "/tests/golden/") + session + "/run-log.txt",
                   std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << session;
  return text.str();
}

// The log up to (not including) the first occurrence of marker, after skipping `skip` of them.
std::string cutBefore(const std::string& log, const std::string& marker, int skip = 0) {
  size_t at = log.find(marker);
  for (int k = 0; k < skip && at != std::string::npos; ++k) at = log.find(marker, at + 1);
  EXPECT_NE(at, std::string::npos) << marker;
  return log.substr(0, at);
}

int countKind(const DesignRecord& d, PointKind kind) {
  int count = 0;
  for (const PricedPoint& p : d.priced) count += p.kind == kind;
  return count;
}

int countOf(const std::string& text, const std::string& word) {
  int count = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
  return count;
}

TEST(RunLogReader, DemoLogGivesOneDesignInPricingOrder) {
  const RunLogReading r = readRunLog(goldenLog("demo-convex"));
  ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
  ASSERT_EQ(r.record.designs.size(), 1u);
  const DesignRecord& d = r.record.designs[0];
  EXPECT_TRUE(d.closed);
  EXPECT_TRUE(d.feasibleFound);
  ASSERT_EQ(d.iterations.size(), 2u);
  EXPECT_EQ(d.iterations[1].newSampleCount, 2);
  EXPECT_DOUBLE_EQ(d.iterations[0].cutLevel, 14.016461);
  EXPECT_DOUBLE_EQ(d.iterations[1].upper[0], 61.079736);  // the frame after the first cut
  EXPECT_EQ(d.evaluations, 14);
  EXPECT_EQ(d.evaluationsToOptimum, 14);
  EXPECT_DOUBLE_EQ(d.bestCost, 14.157655);
  ASSERT_EQ(d.priced.size(), 14u);
  EXPECT_EQ(countKind(d, PointKind::Sample), 12);
  EXPECT_EQ(countKind(d, PointKind::Optimum), 2);
  // The new samples of iteration 2 are the summary's last two rows, priced before its optimum.
  EXPECT_DOUBLE_EQ(d.priced[11].x[0], 31.415890);
  EXPECT_DOUBLE_EQ(d.priced[12].cost, 16.506006);
  EXPECT_EQ(d.priced[13].kind, PointKind::Optimum);
  EXPECT_EQ(d.priced[13].number, 14);
  EXPECT_DOUBLE_EQ(d.priced[13].x[1], d.bestDesign[1]);
}

TEST(RunLogReader, TwoDesignsWithAddedPointsAndSeveralCuts) {
  const RunLogReading r = readRunLog(goldenLog("two-designs-concave"));
  ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
  ASSERT_EQ(r.record.designs.size(), 2u);
  struct Expected { size_t iterations; int evaluations; int added; double bestCost; };
  const Expected expected[] = {{1, 14, 3, 96.0}, {2, 16, 3, 99.542213}};
  for (size_t k = 0; k < 2; ++k) {
    const DesignRecord& d = r.record.designs[k];
    SCOPED_TRACE(k);
    EXPECT_TRUE(d.closed);
    EXPECT_EQ(d.iterations.size(), expected[k].iterations);
    EXPECT_EQ(static_cast<int>(d.priced.size()), d.evaluations);
    EXPECT_EQ(d.evaluations, expected[k].evaluations);
    EXPECT_EQ(countKind(d, PointKind::Added), expected[k].added);
    EXPECT_DOUBLE_EQ(d.bestCost, expected[k].bestCost);
    EXPECT_TRUE(d.iterations[0].ignoredConcavity);
    EXPECT_EQ(d.iterations[0].fits.size(), 2u);
  }
  // Design 2: an addition under both reasons, then a second iteration with one new sample.
  const DesignRecord& d = r.record.designs[1];
  EXPECT_EQ(d.line, countOf(cutBefore(goldenLog("two-designs-concave"), "The number of variables", 1), "\n") + 1);
  EXPECT_DOUBLE_EQ(d.iterations[0].added[0].cost, 93.990639);
  EXPECT_EQ(d.iterations[1].newSampleCount, 1);
  EXPECT_DOUBLE_EQ(d.priced[14].cost, 98.820168);
  EXPECT_DOUBLE_EQ(d.iterations[0].cutLevel, 91.665810);
  EXPECT_DOUBLE_EQ(d.iterations[1].lower[0], 15.129739);
  EXPECT_EQ(d.evaluationsToOptimum, 14);
}

TEST(RunLogReader, InterruptedDesignsAreReadUpToWhereTheyStop) {
  const std::string log = goldenLog("two-designs-concave");
  // The last design stops after its first iteration.
  {
    const RunLogReading r = readRunLog(cutBefore(log, "\n\n ======== Design  Iteration 2"));
    ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
    ASSERT_EQ(r.record.designs.size(), 2u);
    EXPECT_TRUE(r.record.designs[0].closed);
    const DesignRecord& d = r.record.designs[1];
    EXPECT_FALSE(d.closed);
    EXPECT_EQ(d.iterations.size(), 1u);
    EXPECT_EQ(d.priced.size(), 14u);
  }
  // The last design stops in its first cycle: its added points are known, its samples not yet.
  {
    const RunLogReading r = readRunLog(cutBefore(log, "\nThe fitted coefs are :", 3));
    ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
    const DesignRecord& d = r.record.designs[1];
    EXPECT_FALSE(d.closed);
    EXPECT_FALSE(d.iterations[0].hasSummary);
    EXPECT_EQ(countKind(d, PointKind::Added), 3);
    EXPECT_EQ(d.priced.size(), 3u);
  }
  // A design that stopped before its closing block, followed by the next design's run.
  {
    const std::string first = cutBefore(log, "\n\n The total number of objective function");
    const std::string second = log.substr(log.find("\nThe number of variables", 10));
    const RunLogReading r = readRunLog(first + second);
    ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
    ASSERT_EQ(r.record.designs.size(), 2u);
    EXPECT_FALSE(r.record.designs[0].closed);
    EXPECT_EQ(r.record.designs[0].priced.size(), 14u);
    EXPECT_TRUE(r.record.designs[1].closed);
  }
}

TEST(RunLogReader, NoFeasibleDesignFromTheClosingLineOrTheOlderBestAtOneHundredMillion) {
  const std::string log = goldenLog("demo-convex");
  const std::string closing = log.substr(0, log.find("\n\n The global minimum"));
  const std::string oldStyle = closing +
      "\n\n The global minimum of the objective function is 100000000.000000"
      "\n\n The best design is:\n100000000.000000\t100000000.000000\t100000000.000000\t\n";
  const struct { const char* name; std::string text; bool feasible; } cases[] = {
      {"written today, feasible", log, true},
      {"closing line", log + "\n No feasible design was found.\n", false},
      {"older log", oldStyle, false},
      {"closing line, then another design", log + "\n No feasible design was found.\n" + log, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunLogReading r = readRunLog(c.text);
    ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
    EXPECT_EQ(r.record.designs[0].feasibleFound, c.feasible);
    EXPECT_TRUE(r.record.designs.back().closed);
  }
}

TEST(RunLogReader, WindowsLineEndsAreRead) {
  std::string crlf;
  for (char c : goldenLog("demo-convex")) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const RunLogReading r = readRunLog(crlf);
  ASSERT_TRUE(r.ok) << r.errorLine << ": " << r.error;
  EXPECT_EQ(r.record.designs[0].priced.size(), 14u);
}

TEST(RunLogReader, TruncatedCorruptAndForeignLogsAreRefusedWithTheirLine) {
  const std::string log = goldenLog("demo-convex");
  const std::string inMatrix = cutBefore(log, "42.089073");  // inside the first point matrix
  const int inMatrixLines = countOf(inMatrix, "\n");  // the last line, where the log stops
  std::string badCoef = log;
  badCoef.replace(badCoef.find("4.056836"), 8, "4.05x836");
  std::string shortRow = log;
  shortRow.replace(shortRow.find("\t14.798164"), 10, "");
  const struct { const char* name; std::string text; int line; const char* says; } cases[] = {
      {"empty", "", 1, "no design"},
      {"foreign", "Dear designer,\nhere are the prices.\n", 1, "not a designopt run log"},
      {"ends inside the point matrix", inMatrix, inMatrixLines, "truncated"},
      {"ends inside the header", "\nThe number of variables is 3\n\nRanges of the variables\n", 4,
       "truncated"},
      {"bad number", badCoef, 14, "fitted coefficients"},
      {"row without its cost", shortRow, 27, "point matrix"},
      {"stray text", log + "\nSee you tomorrow\n", countOf(log, "\n") + 2, "not a designopt run log"},
      {"summary before any iteration", cutBefore(log, "\n\n ======== Design") +
           log.substr(log.find("\n ---------- Points")), 9, "heading of design iteration 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunLogReading r = readRunLog(c.text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorLine, c.line) << r.error;
    EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
    EXPECT_TRUE(r.record.designs.empty());
  }
}

TEST(LoggedSurface, InterpolatesTheTenPointsItWasFittedOn) {
  // The demo's first fit has ten coefficients for ten points and no positive difference:
  // the surface, mapped through the logged frame, passes through every logged cost, up
  // to the six decimals of the log (a tolerance of 0.004xxx keeps only three figures).
  const RunLogReading r = readRunLog(goldenLog("demo-convex"));
  ASSERT_TRUE(r.ok);
  const IterationRecord& it = r.record.designs[0].iterations[0];
  ASSERT_EQ(it.fits.size(), 1u);
  for (size_t i = 0; i < it.points.size(); ++i) {
    EXPECT_NEAR(surfaceValueAt(it.fits[0].coefs, it.points[i], it.lower, it.upper), it.costs[i], 2e-3)
        << "point " << i + 1;
  }
}

TEST(ReportPage, OneChartSetPerDesignAndOneCsvRowPerPricedPoint) {
  const std::string log = goldenLog("two-designs-concave");
  const struct { const char* name; std::string text; int designs; int rows; } cases[] = {
      {"two designs", log, 2, 14 + 16},
      {"interrupted in its first cycle", cutBefore(log, "\nThe fitted coefs are :", 3), 2, 14 + 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunLogReading r = readRunLog(c.text);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string page = reportPage(r.record, "logMarch0524.dat");
    EXPECT_EQ(countOf(page, "<section class=\"design\""), c.designs);
    for (const char* chart : kChartNames) {
      EXPECT_EQ(countOf(page, std::string("data-chart=\"") + chart + "\""), c.designs) << chart;
    }
    EXPECT_EQ(countOf(page, "<svg "), c.designs * 5);
    const std::string csv = pointsTable(r.record);
    EXPECT_EQ(countOf(csv, "\n"), 1 + c.rows);
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "design,iteration,point,length_in,tolerance,tc_degF,cost_usd,kind");
  }
}

}  // namespace
}  // namespace designopt
