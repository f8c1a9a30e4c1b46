// The report's charts checked by where their marks land: a small run log, written with
// the driver's own log writers, whose points and model are known exactly, is drawn,
// and every mark of a priced point must sit where its coordinates put it on the chart's
// axes, and the fitted-surface curves must run through the points that lie on their
// slice from one end of the axis to the other. A chart that plots one coordinate
// against itself, or a slice over half its range, fails here.
#include "report/report_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "numeric/one_based.h"
#include "report/run_log_reader.h"
#include "runlog/run_log_format.h"

namespace designopt {
namespace {

// One drawn element: its tag, attributes and tooltip.
struct Mark {
  std::string tag;
  std::map<std::string, std::string> attrs;
  std::string tooltip;
  double number(const std::string& name) const { return std::stod(attrs.at(name)); }
  // An attribute's value, empty when the element has none.
  std::string attr(const std::string& name) const {
    const auto it = attrs.find(name);
    return it == attrs.end() ? "" : it->second;
  }
  // The centre of a circle, or of a diamond or star (the mean of its symmetric corners).
  std::pair<double, double> centre() const {
    if (tag == "circle") return {number("cx"), number("cy")};
    double x = 0, y = 0;
    int count = 0;
    std::regex pair("(-?[0-9.]+),(-?[0-9.]+)");
    const std::string& list = attrs.at("points");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), pair); it != std::sregex_iterator(); ++it) {
      x += std::stod((*it)[1]);
      y += std::stod((*it)[2]);
      ++count;
    }
    return {x / count, y / count};
  }
};

// The elements of one chart of the page, in drawing order.
std::vector<Mark> chartMarks(const std::string& page, const std::string& chart) {
  const std::size_t start = page.find("data-chart=\"" + chart + "\"");
  EXPECT_NE(start, std::string::npos) << chart;
  const std::string svg = page.substr(start, page.find("</svg>", start) - start);
  std::vector<Mark> marks;
  const std::regex element("<(circle|polygon|polyline|rect)\\b([^>]*?)(/?)>(<title>([^<]*)</title>)?");
  const std::regex attribute("([a-z-]+)=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element); it != std::sregex_iterator(); ++it) {
    Mark m;
    m.tag = (*it)[1];
    const std::string attrs = (*it)[2];
    for (auto a = std::sregex_iterator(attrs.begin(), attrs.end(), attribute); a != std::sregex_iterator(); ++a) {
      m.attrs[(*a)[1]] = (*a)[2];
    }
    m.tooltip = (*it)[5];
    marks.push_back(m);
  }
  return marks;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// Pixels are written with two decimals.
constexpr double kPixel = 0.011;

// pixel[i] is an affine function of data[i], increasing or decreasing as asked: the
// mark of each value lies where the axis through the two extreme values puts it.
void expectOnAxis(const std::vector<double>& data, const std::vector<double>& pixel, bool increasing,
                  const std::string& what) {
  ASSERT_EQ(data.size(), pixel.size()) << what;
  ASSERT_GE(data.size(), 3u) << what;
  std::size_t lo = 0, hi = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] < data[lo]) lo = i;
    if (data[i] > data[hi]) hi = i;
  }
  ASSERT_LT(data[lo], data[hi]) << what;
  const double slope = (pixel[hi] - pixel[lo]) / (data[hi] - data[lo]);
  EXPECT_EQ(slope > 0, increasing) << what;
  for (std::size_t i = 0; i < data.size(); ++i) {
    EXPECT_NEAR(pixel[i], pixel[lo] + (data[i] - data[lo]) * slope, 2 * kPixel)
        << what << ": value " << data[i];
  }
}

// The model of the log: 100 + 3 z1 - 2 z2 + z3 + 2 z1^2 + z2^2 + 0.5 z3^2 over the frame
// [0, 10]^3 (z = (x - 5) / 5), without cross terms, so every point whose other two
// coordinates are 5 lies on the slice through (5, 5, 5).
const double kCoefs[] = {100, 3, -2, 1, 2, 1, 0.5, 0, 0, 0};
double modelAt(const double x[3]) {
  double value = kCoefs[0];
  for (int j = 0; j < 3; ++j) {
    const double z = (x[j] - 5) / 5;
    value += kCoefs[1 + j] * z + kCoefs[4 + j] * z * z;
  }
  return value;
}

// Ten samples (the initial design of three variables), the last at the centre.
const double kPoints[10][3] = {{1, 5, 5}, {3, 5, 5}, {8, 5, 5}, {9.5, 5, 5}, {5, 1, 5},
                               {5, 8, 5}, {5, 5, 2}, {5, 5, 9}, {2, 7, 4},  {5, 5, 5}};

// One design of one iteration whose optimum and best design lie at the centre.
std::string knownLog() {
  std::FILE* log = std::tmpfile();
  DVector lower = dvector(1, 3), upper = dvector(1, 3), coefs = dvector(1, 10);
  DVector values = dvector(1, 10), xOpt = dvector(1, 3);
  DMatrix points = matrix(1, 10, 1, 3);
  for (int j = 1; j <= 3; ++j) {
    lower[j] = 0;
    upper[j] = 10;
    xOpt[j] = 5;
  }
  for (int k = 1; k <= 10; ++k) coefs[k] = kCoefs[k - 1];
  for (int i = 1; i <= 10; ++i) {
    for (int j = 1; j <= 3; ++j) points[i][j] = kPoints[i - 1][j - 1];
    values[i] = modelAt(kPoints[i - 1]);
  }
  writeLogHeader(log, 3, lower, upper, 0);
  writeIterationHeading(log, 1);
  writeFittedModel(log, 10, coefs, 0.0);
  writeIterationSummary(log, 1, 3, 10, lower, upper, points, values, xOpt, 100.0, 99.0);
  writeClosingBlock(log, 11, 11, 100.0, 3, xOpt, true);
  std::rewind(log);
  std::string text;
  for (int c; (c = std::fgetc(log)) != EOF;) text += static_cast<char>(c);
  std::fclose(log);
  return text;
}

class ReportMarks : public ::testing::Test {
 protected:
  void SetUp() override {
    const RunLogReading reading = readRunLog(knownLog());
    ASSERT_TRUE(reading.ok) << reading.error;
    record_ = reading.record;
    ASSERT_EQ(record_.designs[0].priced.size(), 11u);
    page_ = reportPage(record_, "known.dat");
  }
  const std::vector<PricedPoint>& priced() const { return record_.designs[0].priced; }
  RunLogRecord record_;
  std::string page_;
};

TEST_F(ReportMarks, CostHistoryPlacesEveryPointByItsNumberAndCost) {
  std::vector<double> numbers, costs, xs, ys;
  for (const Mark& m : chartMarks(page_, "cost-history")) {
    if (!startsWith(m.tooltip, "Point ")) continue;
    const PricedPoint& p = priced()[numbers.size()];
    numbers.push_back(p.number);
    costs.push_back(p.cost);
    xs.push_back(m.centre().first);
    ys.push_back(m.centre().second);
  }
  ASSERT_EQ(numbers.size(), 11u);
  expectOnAxis(numbers, xs, true, "evaluation axis");
  expectOnAxis(costs, ys, false, "cost axis");
}

TEST_F(ReportMarks, PairPlanesPlaceEveryPointByItsTwoCoordinates) {
  const std::vector<Mark> marks = chartMarks(page_, "pair-planes");
  std::vector<const Mark*> pointMarks;
  for (const Mark& m : marks) {
    if (startsWith(m.tooltip, "Point ")) pointMarks.push_back(&m);
  }
  const std::pair<int, int> planes[] = {{0, 1}, {0, 2}, {1, 2}};
  ASSERT_EQ(pointMarks.size(), 3 * priced().size());
  for (std::size_t k = 0; k < 3; ++k) {
    const auto [a, b] = planes[k];
    std::vector<double> xa, xb, px, py;
    for (std::size_t i = 0; i < priced().size(); ++i) {
      xa.push_back(priced()[i].x[a]);
      xb.push_back(priced()[i].x[b]);
      const auto c = pointMarks[k * priced().size() + i]->centre();
      px.push_back(c.first);
      py.push_back(c.second);
    }
    const std::string plane = "plane " + std::to_string(a + 1) + "-" + std::to_string(b + 1);
    expectOnAxis(xa, px, true, plane + ", across");
    expectOnAxis(xb, py, false, plane + ", up");
  }
}

TEST_F(ReportMarks, DesignSpacePlacesEachPointOfTheIterationByItsCoordinate) {
  std::vector<const Mark*> circles;
  const std::vector<Mark> marks = chartMarks(page_, "design-space");
  for (const Mark& m : marks) {
    if (m.tag == "circle" && m.attr("fill") == "#5a5a5a" && m.attr("stroke") == "none") circles.push_back(&m);
  }
  ASSERT_EQ(circles.size(), 30u);
  for (int j = 0; j < 3; ++j) {
    std::vector<double> data, px;
    for (int i = 0; i < 10; ++i) {
      data.push_back(kPoints[i][j]);
      px.push_back(circles[static_cast<std::size_t>(10 * j + i)]->centre().first);
    }
    expectOnAxis(data, px, true, "variable " + std::to_string(j + 1));
  }
}

// Each slice is a curve over the whole axis (the frame, here [0, 10]); the points on
// the slice (the other two coordinates at the centre) and the best design lie on it.
TEST_F(ReportMarks, FittedSurfaceSlicesSpanTheirAxisAndRunThroughThePointsOnThem) {
  const std::vector<Mark> marks = chartMarks(page_, "fitted-surface");
  std::vector<std::vector<std::pair<double, double>>> curves;
  std::vector<std::vector<std::pair<double, double>>> onSlice(3);
  std::vector<std::pair<double, double>> stars;
  std::vector<std::vector<double>> onSliceData(3);
  for (const Mark& m : marks) {
    if (m.tag == "polyline" && m.attr("stroke-width") == "2.20") {
      std::vector<std::pair<double, double>> curve;
      std::regex pair("(-?[0-9.]+),(-?[0-9.]+)");
      const std::string& list = m.attrs.at("points");
      for (auto it = std::sregex_iterator(list.begin(), list.end(), pair); it != std::sregex_iterator(); ++it) {
        curve.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
      }
      curves.push_back(curve);
      continue;
    }
    if (curves.empty() || curves.size() > 3) continue;
    if (startsWith(m.tooltip, "Priced point ") && m.tooltip.find("off the slice by 0.00 ") != std::string::npos) {
      onSlice[curves.size() - 1].push_back(m.centre());
      onSliceData[curves.size() - 1].push_back(std::stod(m.tooltip.substr(13)));
    }
    // One star per panel; the legend's star follows the three panels.
    if (m.tag == "polygon" && m.attr("fill") == "#F0E442" && stars.size() < 3) stars.push_back(m.centre());
  }
  ASSERT_EQ(curves.size(), 3u);
  ASSERT_EQ(stars.size(), 3u);
  // The points of kPoints on each slice, the centre included: 5, 3 and 3.
  const std::size_t expectedOnSlice[] = {5, 3, 3};
  for (std::size_t j = 0; j < 3; ++j) {
    SCOPED_TRACE("slice along variable " + std::to_string(j + 1));
    const auto& curve = curves[j];
    ASSERT_GE(curve.size(), 2u);
    ASSERT_EQ(onSlice[j].size(), expectedOnSlice[j]);
    // The curve's ends are the frame's ends: the marks at 0 .. 10 on its axis, found
    // from two of the points on the slice.
    std::size_t lo = 0, hi = 0;
    for (std::size_t i = 0; i < onSliceData[j].size(); ++i) {
      if (onSliceData[j][i] < onSliceData[j][lo]) lo = i;
      if (onSliceData[j][i] > onSliceData[j][hi]) hi = i;
    }
    const double perUnit = (onSlice[j][hi].first - onSlice[j][lo].first) / (onSliceData[j][hi] - onSliceData[j][lo]);
    const double atZero = onSlice[j][lo].first - onSliceData[j][lo] * perUnit;
    EXPECT_NEAR(curve.front().first, atZero, 2 * kPixel);
    EXPECT_NEAR(curve.back().first, atZero + 10 * perUnit, 2 * kPixel);
    // Every point on the slice, and the best design's star, lies on the curve.
    std::vector<std::pair<double, double>> marksOn = onSlice[j];
    marksOn.push_back(stars[j]);
    for (const auto& [mx, my] : marksOn) {
      double curveY = NAN;
      for (std::size_t s = 1; s < curve.size(); ++s) {
        if (curve[s - 1].first <= mx + kPixel && mx - kPixel <= curve[s].first) {
          const double t = curve[s].first == curve[s - 1].first ? 0 : (mx - curve[s - 1].first) / (curve[s].first - curve[s - 1].first);
          curveY = curve[s - 1].second + t * (curve[s].second - curve[s - 1].second);
          break;
        }
      }
      ASSERT_FALSE(std::isnan(curveY)) << "no curve at x = " << mx;
      EXPECT_NEAR(my, curveY, 0.5) << "mark at x = " << mx;
    }
  }
}

TEST_F(ReportMarks, PredictedCostOfTheOptimumIsTheModelThere) {
  bool found = false;
  for (const Mark& m : chartMarks(page_, "predicted-real")) {
    if (m.tooltip == "Iteration 1: predicted $100.0000") found = true;
  }
  EXPECT_TRUE(found);
}

// A design without a feasible point: every point drawn open, no evaluations to an optimum.
TEST(ReportTruth, ADesignWithoutAFeasiblePointDrawsEveryPointOpen) {
  std::string log = knownLog();
  const std::string closing = "\n\n " + std::string(runlogtext::kEvaluations);
  log = log.substr(0, log.find(closing));
  std::FILE* file = std::tmpfile();
  DVector none = dvector(1, 3);
  for (int j = 1; j <= 3; ++j) none[j] = kNoBestYet;
  writeClosingBlock(file, 11, 11, kNoBestYet, 3, none, false);
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) log += static_cast<char>(c);
  std::fclose(file);

  const RunLogReading reading = readRunLog(log);
  ASSERT_TRUE(reading.ok) << reading.error;
  const std::string page = reportPage(reading.record, "none.dat");
  int points = 0;
  for (const Mark& m : chartMarks(page, "cost-history")) {
    if (!startsWith(m.tooltip, "Point ")) continue;
    ++points;
    EXPECT_EQ(m.attr("fill"), "#ffffff") << m.tooltip;
  }
  EXPECT_EQ(points, 11);
  EXPECT_EQ(page.find("Evaluations to the optimum"), std::string::npos);
  EXPECT_NE(page.find("Evaluations in all"), std::string::npos);
}

// A best design outside the last frame: the slice's axis reaches it, and the chart says
// that the model is extrapolated there.
TEST(ReportTruth, ABestDesignOutsideTheFrameIsOnTheAxisAndNamed) {
  std::string log = knownLog();
  const std::string best = std::string(runlogtext::kBestDesign) + "\n";
  const std::size_t at = log.find(best) + best.size();
  log.replace(at, log.find('\n', at) - at, "12.000000\t5.000000\t5.000000\t");
  const RunLogReading reading = readRunLog(log);
  ASSERT_TRUE(reading.ok) << reading.error;
  const std::string page = reportPage(reading.record, "outside.dat");
  EXPECT_NE(page.find("lies outside the fitted frame (in Length)"), std::string::npos);
  std::vector<std::pair<double, double>> stars;
  std::vector<double> curveEnds;
  for (const Mark& m : chartMarks(page, "fitted-surface")) {
    if (m.tag == "polygon" && m.attr("fill") == "#F0E442") stars.push_back(m.centre());
    if (m.tag == "polyline" && m.attr("stroke-width") == "2.20" && curveEnds.empty()) {
      const std::string& list = m.attrs.at("points");
      curveEnds.push_back(std::stod(list.substr(list.rfind(' ') + 1)));
    }
  }
  ASSERT_FALSE(stars.empty());
  ASSERT_EQ(curveEnds.size(), 1u);
  // The length slice ends at the best design, 12 in, beyond the frame's 10.
  EXPECT_NEAR(stars[0].first, curveEnds[0], 2 * kPixel);
}

}  // namespace
}  // namespace designopt
