// The report's page: summary tables and the five charts of each design.
#include "report/report_page.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "report/fitted_surface.h"
#include "report/svg_chart.h"

namespace designopt {

namespace {

constexpr double kWideChart = 1180.0;   // a chart across the page
constexpr double kHalfChart = 580.0;    // a chart in one of two columns
constexpr double kNearSlice = 0.5;      // how far, in normalised units, a point may lie off a slice
constexpr int kSliceSteps = 60;         // segments of a fitted-surface curve

// The designer's names of the variables, with their units.
struct VariableInfo {
  std::string name;       // in tables
  std::string axisLabel;  // on axes, with the unit
  int decimals;           // in tables and tooltips
};

std::vector<VariableInfo> variableInfo(int n) {
  if (n == 3) {
    return {{"Length", "Length (in)", 3}, {"Tolerance", "Tolerance", 6}, {"Tc", "Tc (°F)", 3}};
  }
  std::vector<VariableInfo> out;
  for (int j = 1; j <= n; ++j) out.push_back({"x" + std::to_string(j), "x" + std::to_string(j), 6});
  return out;
}

const std::string kCostLabel = "Cost ($)";

std::string money(double v) { return "$" + fixed(v, 4); }

Marker kindMarker(PointKind k) {
  switch (k) {
    case PointKind::Sample: return Marker::Circle;
    case PointKind::Added: return Marker::Triangle;
    case PointKind::Optimum: return Marker::Diamond;
  }
  return Marker::Circle;
}

const char* kindColour(PointKind k) {
  switch (k) {
    case PointKind::Sample: return palette::kBlue;
    case PointKind::Added: return palette::kOrange;
    case PointKind::Optimum: return palette::kVermillion;
  }
  return palette::kBlue;
}

std::string kindLabel(PointKind k) {
  switch (k) {
    case PointKind::Sample: return "Latin hypercube sample";
    case PointKind::Added: return "added by a refinement cycle";
    case PointKind::Optimum: return "constrained optimum";
  }
  return "";
}

std::string pointText(const PricedPoint& p, const std::vector<VariableInfo>& vars) {
  std::string s = "Point " + std::to_string(p.number) + ", iteration " +
                  std::to_string(p.iteration) + " (" + kindLabel(p.kind) + "): ";
  for (size_t j = 0; j < p.x.size() && j < vars.size(); ++j) {
    s += vars[j].name + " " + fixed(p.x[j], vars[j].decimals) + ", ";
  }
  return s + "cost " + money(p.cost);
}

bool sameDesign(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (size_t j = 0; j < a.size(); ++j) {
    if (std::fabs(a[j] - b[j]) > 1e-9 * std::max(1.0, std::fabs(a[j]))) return false;
  }
  return true;
}

// The point whose design the closing block names as the best: the first priced point
// at those coordinates and that cost, or none.
const PricedPoint* bestPoint(const DesignRecord& d) {
  if (!d.closed || !d.feasibleFound) return nullptr;
  for (const PricedPoint& p : d.priced) {
    if (sameDesign(p.x, d.bestDesign) && std::fabs(p.cost - d.bestCost) < 1e-9 * std::max(1.0, d.bestCost)) {
      return &p;
    }
  }
  return nullptr;
}

// The iterations that reached their summary: those with a frame and an optimum.
std::vector<const IterationRecord*> summarised(const DesignRecord& d) {
  std::vector<const IterationRecord*> out;
  for (const IterationRecord& it : d.iterations) {
    if (it.hasSummary) out.push_back(&it);
  }
  return out;
}

struct Extent {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  bool empty() const { return !(hi >= lo); }
  std::pair<double, double> padded(double margin = 0.05) const {
    return empty() ? std::pair<double, double>{0.0, 1.0} : paddedExtent(lo, hi, margin);
  }
};

// The own-unit extent of variable j over the design's ranges and priced points.
Extent variableExtent(const DesignRecord& d, size_t j) {
  Extent e;
  e.add(d.lower[j]);
  e.add(d.upper[j]);
  for (const PricedPoint& p : d.priced) e.add(p.x[j]);
  for (const IterationRecord* it : summarised(d)) {
    e.add(it->lower[j]);
    e.add(it->upper[j]);
  }
  return e;
}

void kindLegend(SvgCanvas& svg, double x, double y, bool withBest) {
  svg.legendEntry(x, y, Marker::Circle, palette::kBlue, "sample");
  svg.legendEntry(x + 80, y, Marker::Triangle, palette::kOrange, "added point");
  svg.legendEntry(x + 190, y, Marker::Diamond, palette::kVermillion, "constrained optimum");
  if (withBest) svg.legendEntry(x + 345, y, Marker::Star, palette::kYellow, "best design");
}

// Every priced point's cost in pricing order, iterations shaded, the best feasible cost.
std::string costHistoryChart(const DesignRecord& d, const std::vector<VariableInfo>& vars) {
  SvgCanvas svg(kWideChart, 330, kChartNames[0], "Cost of every priced point in pricing order");
  const PlotArea area{80, 40, kWideChart - 110, 230};
  const int count = static_cast<int>(d.priced.size());
  Extent costs;
  for (const PricedPoint& p : d.priced) costs.add(p.cost);
  if (d.closed && d.feasibleFound) costs.add(d.bestCost);
  const auto [ylo, yhi] = costs.padded(0.08);
  const LinearScale x{0.5, std::max(count, 1) + 0.5, area.left, area.right()};
  const LinearScale y{ylo, yhi, area.bottom(), area.top};
  svg.axes(area, x, y, "Evaluation (pricing order)", kCostLabel, std::min(std::max(count, 2), 12), 5);

  // Iteration bands, each labelled at its top.
  size_t i = 0;
  int band = 0;
  while (i < d.priced.size()) {
    size_t k = i;
    while (k < d.priced.size() && d.priced[k].iteration == d.priced[i].iteration) ++k;
    const double x0 = x(d.priced[i].number - 0.5), x1 = x(d.priced[k - 1].number + 0.5);
    if (band++ % 2 == 1) svg.rect(x0, area.top, x1 - x0, area.height, "#000000", "none", 1, "", 0.05);
    if (i > 0) svg.line(x0, area.top, x0, area.bottom(), "#777777", 1, "4 3");
    svg.text((x0 + x1) * 0.5, area.top + 14, "Iteration " + std::to_string(d.priced[i].iteration),
             "middle", 11, "bold", 0, "#444444");
    i = k;
  }

  const bool feasible = d.closed && d.feasibleFound;
  std::vector<std::pair<double, double>> pathPts;
  for (const PricedPoint& p : d.priced) {
    if (std::isfinite(p.cost)) pathPts.push_back({x(p.number), y(p.cost)});
  }
  svg.polyline(pathPts, "#bbbbbb", 1.0);
  if (feasible) {
    // The log records the best design only at the end, with the evaluation count of its
    // last improvement: the line starts there.
    const double from = x(std::clamp(d.evaluationsToOptimum, 1, std::max(count, 1)));
    svg.line(from, y(d.bestCost), area.right(), y(d.bestCost), palette::kBlack, 2.0);
    svg.text(area.right() - 16, y(d.bestCost) - 10, "best feasible cost " + money(d.bestCost),
             "end", 11, "bold");
  }
  for (const PricedPoint& p : d.priced) {
    // Drawn open when known infeasible: every point of a design that found no feasible
    // point, and every point priced below the best feasible cost (it would have been
    // kept as the best had it been feasible).
    const bool infeasible = d.closed && (!d.feasibleFound || p.cost < d.bestCost);
    svg.marker(kindMarker(p.kind), x(p.number), y(p.cost), 9,
               infeasible ? "#ffffff" : kindColour(p.kind),
               infeasible ? kindColour(p.kind) : "#ffffff", 1.0, pointText(p, vars));
  }
  if (const PricedPoint* best = bestPoint(d)) {
    svg.marker(Marker::Star, x(best->number), y(best->cost), 12, palette::kYellow, "#000000");
  }
  kindLegend(svg, area.left + 10, 22, feasible);
  if (d.closed) {
    svg.marker(Marker::Circle, area.left + 530, 22, 9, "#ffffff", palette::kBlue);
    svg.text(area.left + 540, 26,
             feasible ? "open: priced below the best feasible cost, so infeasible"
                      : "open: infeasible (no point of this design was feasible)",
             "start", 11);
  }
  return svg.str();
}

// For each variable, the frame of every iteration's model with that iteration's points.
std::string designSpaceChart(const DesignRecord& d, const std::vector<VariableInfo>& vars) {
  const auto its = summarised(d);
  const double rowHeight = 22;
  const double panelHeight = 40 + rowHeight * std::max<size_t>(its.size(), 1) + 50;
  SvgCanvas svg(kHalfChart, 30 + panelHeight * vars.size(), kChartNames[1],
                "The design space of each iteration, per variable");
  const bool feasible = d.closed && d.feasibleFound;
  svg.legendEntry(70, 14, Marker::Circle, "#5a5a5a", "point of the iteration");
  svg.legendEntry(240, 14, Marker::Diamond, palette::kVermillion, "its optimum");
  if (feasible) svg.legendEntry(350, 14, Marker::Star, palette::kYellow, "best design");
  for (size_t j = 0; j < vars.size(); ++j) {
    const double top = 30 + panelHeight * j + 20;
    const PlotArea area{70, top, kHalfChart - 100, rowHeight * std::max<size_t>(its.size(), 1) + 10};
    const auto [lo, hi] = variableExtent(d, j).padded(0.03);
    const LinearScale x{lo, hi, area.left, area.right()};
    const LinearScale y{0, 1, area.bottom(), area.top};
    svg.axes(area, x, y, vars[j].axisLabel, "", 6, 0);
    // The problem's ranges, the frame of iteration 1, as a faint band behind every row.
    svg.rect(x(d.lower[j]), area.top, x(d.upper[j]) - x(d.lower[j]), area.height, "#000000", "none", 1, "", 0.04);
    for (size_t r = 0; r < its.size(); ++r) {
      const IterationRecord& it = *its[r];
      const double cy = area.top + 5 + rowHeight * (r + 0.5);
      const char* colour = palette::iterationColour(it.number);
      svg.rect(x(it.lower[j]), cy - 7, x(it.upper[j]) - x(it.lower[j]), 14, colour, colour, 1.0, "", 0.18);
      svg.text(area.left - 6, cy + 4, "It. " + std::to_string(it.number), "end", 11);
      for (const auto& p : it.points) svg.marker(Marker::Circle, x(p[j]), cy, 5, "#5a5a5a", "none", 0.8);
      svg.marker(Marker::Diamond, x(it.xOpt[j]), cy, 9, palette::kVermillion, "#ffffff", 1.0,
                 "Iteration " + std::to_string(it.number) + " optimum: " + vars[j].name + " " +
                     fixed(it.xOpt[j], vars[j].decimals));
    }
    if (feasible) {
      svg.line(x(d.bestDesign[j]), area.top, x(d.bestDesign[j]), area.bottom(), palette::kBlack, 1.2, "3 3");
      svg.marker(Marker::Star, x(d.bestDesign[j]), area.top - 6, 12, palette::kYellow, "#000000", 1.0,
                 "Best design: " + vars[j].name + " " + fixed(d.bestDesign[j], vars[j].decimals));
    }
  }
  return svg.str();
}

// The points in the plane of each pair of variables, coloured by cost, with the frames.
std::string pairPlanesChart(const DesignRecord& d, const std::vector<VariableInfo>& vars) {
  std::vector<std::pair<size_t, size_t>> pairs;
  for (size_t a = 0; a < vars.size(); ++a) {
    for (size_t b = a + 1; b < vars.size(); ++b) pairs.push_back({a, b});
  }
  const size_t perRow = 3;
  const size_t rows = std::max<size_t>(1, (pairs.size() + perRow - 1) / perRow);
  const double panelW = kWideChart / perRow, panelH = 330;
  SvgCanvas svg(kWideChart, 50 + panelH * rows, kChartNames[2],
                "Priced points in the plane of each pair of variables, coloured by cost");
  Extent costs;
  for (const PricedPoint& p : d.priced) costs.add(p.cost);
  const bool feasible = d.closed && d.feasibleFound;
  const auto its = summarised(d);
  for (size_t k = 0; k < pairs.size(); ++k) {
    const auto [a, b] = pairs[k];
    const double left = panelW * (k % perRow), top = 50 + panelH * (k / perRow);
    const PlotArea area{left + 80, top + 10, panelW - 105, panelH - 70};
    const auto [xlo, xhi] = variableExtent(d, a).padded();
    const auto [ylo, yhi] = variableExtent(d, b).padded();
    const LinearScale x{xlo, xhi, area.left, area.right()};
    const LinearScale y{ylo, yhi, area.bottom(), area.top};
    svg.axes(area, x, y, vars[a].axisLabel, vars[b].axisLabel, 5, 5);
    for (const IterationRecord* it : its) {
      const char* colour = palette::iterationColour(it->number);
      const double x0 = x(it->lower[a]), x1 = x(it->upper[a]);
      const double y0 = y(it->upper[b]), y1 = y(it->lower[b]);
      svg.rect(x0, y0, x1 - x0, y1 - y0, "none", colour, 1.6, "6 3");
      svg.text(x1 - 3, y0 + 12, std::to_string(it->number), "end", 11, "bold", 0, colour);
    }
    for (const PricedPoint& p : d.priced) {
      const double t = costs.hi > costs.lo ? (p.cost - costs.lo) / (costs.hi - costs.lo) : 0.5;
      svg.marker(kindMarker(p.kind), x(p.x[a]), y(p.x[b]), 10, costColour(t), "#333333", 1.0,
                 pointText(p, vars));
    }
    if (feasible) {
      svg.marker(Marker::Star, x(d.bestDesign[a]), y(d.bestDesign[b]), 14, palette::kYellow, "#000000");
    }
  }
  if (!costs.empty()) svg.colourBar(kWideChart - 330, 8, 300, costs.lo, costs.hi, kCostLabel);
  svg.legendEntry(20, 14, Marker::Circle, "#8c8c8c", "sample");
  svg.legendEntry(100, 14, Marker::Triangle, "#8c8c8c", "added");
  svg.legendEntry(170, 14, Marker::Diamond, "#8c8c8c", "optimum");
  if (feasible) svg.legendEntry(255, 14, Marker::Star, palette::kYellow, "best design");
  svg.line(360, 12, 385, 12, palette::kBlue, 1.6, "6 3");
  svg.text(390, 17, "frame of iteration k (number at its corner)", "start", 11);
  return svg.str();
}

// The last fitted surface along each variable through the best design (or, without
// one, through the last optimum), with the priced points near that slice.
std::string fittedSurfaceChart(const DesignRecord& d, const std::vector<VariableInfo>& vars,
                               std::string& note) {
  const auto its = summarised(d);
  const IterationRecord* last = nullptr;
  for (const IterationRecord* it : its) {
    if (!it->fits.empty()) last = it;
  }
  const size_t n = vars.size();
  const double panelW = kWideChart / std::min<size_t>(n, 3);
  const size_t rows = (n + 2) / 3;
  SvgCanvas svg(kWideChart, 40 + 300 * rows, kChartNames[3],
                "The last fitted surface along each variable through the best design");
  if (last == nullptr) {
    svg.text(kWideChart / 2, 120, "No iteration of this design reached its summary: no fitted surface to show.",
             "middle", 13);
    note = "";
    return svg.str();
  }
  const bool feasible = d.closed && d.feasibleFound;
  const std::vector<double>& through = feasible ? d.bestDesign : last->xOpt;
  note = std::string("Slice through the ") + (feasible ? "best design" : "last constrained optimum") +
         ", model of iteration " + std::to_string(last->number) + " (its last fit).";
  const std::vector<double>& coefs = last->fits.back().coefs;
  const auto centre = normalisedToFrame(through, last->lower, last->upper);
  // A design outside the frame the model was fitted on: every slice through it shows
  // the model extrapolated, and the chart says so.
  std::string outside;
  for (size_t j = 0; j < n; ++j) {
    if (through[j] >= last->lower[j] && through[j] <= last->upper[j]) continue;
    outside += (outside.empty() ? "" : ", ") + vars[j].name;
  }
  if (!outside.empty()) {
    note += std::string(" The ") + (feasible ? "best design" : "optimum") +
            " lies outside the fitted frame (in " + outside +
            "): beyond the shaded frame the curves are the model extrapolated.";
  }
  std::vector<PricedPoint> candidates;
  for (size_t i = 0; i < last->points.size(); ++i) {
    PricedPoint p;
    p.x = last->points[i];
    p.cost = last->costs[i];
    candidates.push_back(p);
  }
  for (size_t j = 0; j < n; ++j) {
    const double left = panelW * (j % 3), top = 40 + 300 * (j / 3);
    const PlotArea area{left + 80, top + 10, panelW - 105, 230};
    // The axis spans the frame and the design the slice runs through.
    const double axisLo = std::min(last->lower[j], through[j]);
    const double axisHi = std::max(last->upper[j], through[j]);
    const LinearScale x{axisLo, axisHi, area.left, area.right()};
    std::vector<std::pair<double, double>> curve;
    Extent costs;
    std::vector<std::pair<double, double>> values;
    for (int s = 0; s <= kSliceSteps; ++s) {
      const double along = axisLo + (axisHi - axisLo) * s / kSliceSteps;
      std::vector<double> point = through;
      point[j] = along;
      const double v = surfaceValueAt(coefs, point, last->lower, last->upper);
      values.push_back({along, v});
      costs.add(v);
    }
    struct Near { double x, cost, nearness; std::string text; };
    std::vector<Near> near;
    for (const PricedPoint& p : candidates) {
      const auto z = normalisedToFrame(p.x, last->lower, last->upper);
      double off = 0.0;
      for (size_t k = 0; k < n; ++k) {
        if (k != j) off = std::max(off, std::fabs(z[k] - centre[k]));
      }
      if (off > kNearSlice) continue;
      near.push_back({p.x[j], p.cost, off, "Priced point " + fixed(p.x[j], vars[j].decimals) +
                                              ", cost " + money(p.cost) + ", off the slice by " +
                                              fixed(off, 2) + " (normalised)"});
      costs.add(p.cost);
    }
    if (feasible) costs.add(d.bestCost);
    const auto [ylo, yhi] = costs.padded(0.08);
    const LinearScale y{ylo, yhi, area.bottom(), area.top};
    svg.axes(area, x, y, vars[j].axisLabel, kCostLabel, 5, 5);
    // The frame the model was fitted on, shaded where the axis reaches beyond it.
    if (axisLo < last->lower[j] || axisHi > last->upper[j]) {
      svg.rect(x(last->lower[j]), area.top, x(last->upper[j]) - x(last->lower[j]), area.height,
               "#000000", "none", 1, "", 0.06);
    }
    for (const auto& v : values) curve.push_back({x(v.first), y(v.second)});
    svg.polyline(curve, palette::kBlue, 2.2);
    for (const Near& p : near) {
      svg.marker(Marker::Circle, x(p.x), y(p.cost), 9, palette::kOrange, "#333333",
                 1.0 - 0.7 * p.nearness / kNearSlice, p.text);
    }
    svg.line(x(through[j]), area.top, x(through[j]), area.bottom(), palette::kBlack, 1.0, "3 3");
    if (feasible) svg.marker(Marker::Star, x(through[j]), y(d.bestCost), 13, palette::kYellow, "#000000");
  }
  svg.line(20, 16, 45, 16, palette::kBlue, 2.2);
  svg.text(50, 20, "fitted surface (model)", "start", 11);
  svg.legendEntry(220, 16, Marker::Circle, palette::kOrange,
                  "priced point near the slice (fainter: farther off, up to " + fixed(kNearSlice, 1) +
                      " normalised)");
  if (feasible) svg.legendEntry(660, 16, Marker::Star, palette::kYellow, "best design and its cost");
  return svg.str();
}

// Each iteration's constrained optimum: the surface's prediction against the priced cost.
std::string predictedRealChart(const DesignRecord& d) {
  const auto its = summarised(d);
  SvgCanvas svg(kHalfChart, 330, kChartNames[4],
                "Each iteration's constrained optimum: predicted against real cost");
  const PlotArea area{80, 40, kHalfChart - 110, 230};
  Extent costs;
  std::vector<std::pair<const IterationRecord*, double>> rows;
  for (const IterationRecord* it : its) {
    if (it->fits.empty()) continue;
    const double predicted = surfaceValueAt(it->fits.back().coefs, it->xOpt, it->lower, it->upper);
    rows.push_back({it, predicted});
    costs.add(predicted);
    costs.add(it->fOpt);
  }
  // Predictions close to the real cost still get a scale of some cents, not of millionths.
  if (!costs.empty()) {
    const double minSpan = 0.02 * std::max(std::fabs(costs.lo), std::fabs(costs.hi));
    const double mid = (costs.lo + costs.hi) * 0.5;
    if (costs.hi - costs.lo < minSpan) {
      costs.add(mid - minSpan * 0.5);
      costs.add(mid + minSpan * 0.5);
    }
  }
  const auto [ylo, yhi] = costs.padded(0.12);
  const double count = static_cast<double>(std::max<size_t>(rows.size(), 1));
  const LinearScale x{0.5, count + 0.5, area.left, area.right()};
  const LinearScale y{ylo, yhi, area.bottom(), area.top};
  svg.axes(area, x, y, "Design iteration", kCostLabel, static_cast<int>(count), 5);
  for (size_t r = 0; r < rows.size(); ++r) {
    const double px = x(static_cast<double>(r + 1));
    const auto& [it, predicted] = rows[r];
    svg.line(px, y(predicted), px, y(it->fOpt), "#777777", 1.5);
    svg.marker(Marker::Square, px - 0.0, y(predicted), 10, "#ffffff", palette::kSkyBlue, 1.0,
               "Iteration " + std::to_string(it->number) + ": predicted " + money(predicted));
    svg.marker(Marker::Diamond, px, y(it->fOpt), 11, palette::kVermillion, "#ffffff", 1.0,
               "Iteration " + std::to_string(it->number) + ": real " + money(it->fOpt));
    svg.text(px + 10, y(it->fOpt) + 4, money(it->fOpt), "start", 10);
    svg.text(px + 10, y(predicted) + 4, money(predicted), "start", 10, "normal", 0, "#2a6f97");
  }
  if (rows.empty()) svg.text(area.left + area.width / 2, area.top + 60, "No iteration reached its optimum.", "middle", 12);
  svg.marker(Marker::Square, 90, 20, 10, "#ffffff", palette::kSkyBlue);
  svg.text(100, 24, "predicted by the fitted surface", "start", 11);
  svg.legendEntry(300, 20, Marker::Diamond, palette::kVermillion, "real (priced) cost");
  return svg.str();
}

std::string row(const std::string& head, const std::string& value) {
  return "<tr><th>" + xmlEscaped(head) + "</th><td>" + xmlEscaped(value) + "</td></tr>\n";
}

std::string summaryTable(const DesignRecord& d, const std::vector<VariableInfo>& vars) {
  std::string t = "<table class=\"summary\">\n";
  if (!d.closed) {
    t += row("Run", "interrupted: the log ends before the closing block (best design not recorded)");
  }
  if (d.closed) {
    t += row("Feasible design found", d.feasibleFound ? "yes" : "no");
    if (d.feasibleFound) {
      for (size_t j = 0; j < vars.size(); ++j) {
        t += row("Best " + vars[j].axisLabel, fixed(d.bestDesign[j], vars[j].decimals));
      }
      t += row("Best cost", money(d.bestCost));
    }
    t += row("Evaluations in all", std::to_string(d.evaluations));
    // Without a feasible design the log's count names no optimum.
    if (d.feasibleFound) t += row("Evaluations to the optimum", std::to_string(d.evaluationsToOptimum));
  }
  int added = 0;
  for (const IterationRecord& it : d.iterations) added += static_cast<int>(it.added.size());
  t += row("Design iterations", std::to_string(d.iterations.size()));
  t += row("Priced points in the log", std::to_string(d.priced.size()) + " (" + std::to_string(added) +
                                            " added by refinement cycles)");
  std::string levels;
  for (const IterationRecord& it : d.iterations) {
    if (!it.hasSummary) continue;
    if (!levels.empty()) levels += "; ";
    levels += std::to_string(it.number) + ": " + fixed(it.cutLevel, 4) +
              (it.ignoredConcavity ? " (concave model ignored)" : "");
  }
  if (!levels.empty()) t += row("Last cut level per iteration", levels);
  std::string ranges;
  for (size_t j = 0; j < vars.size(); ++j) {
    if (j > 0) ranges += "; ";
    ranges += vars[j].name + " " + fixed(d.lower[j], vars[j].decimals) + " to " +
              fixed(d.upper[j], vars[j].decimals);
  }
  t += row("Ranges of the problem", ranges);
  return t + "</table>\n";
}

std::string figure(const std::string& svg, const std::string& question, bool wide) {
  return std::string("<figure class=\"") + (wide ? "wide" : "half") + "\">\n" + svg +
         "<figcaption>" + xmlEscaped(question) + "</figcaption>\n</figure>\n";
}

const char* kStyle = R"(body{font-family:"DejaVu Sans","Liberation Sans",Arial,Helvetica,sans-serif;color:#222;margin:24px auto;max-width:1200px;padding:0 10px;background:#fafafa}
h1{font-size:24px;margin:0 0 4px}h2{font-size:20px;margin:28px 0 8px;border-bottom:2px solid #0072B2;padding-bottom:4px}
p.source{color:#555;margin:0 0 12px}
table.summary{border-collapse:collapse;margin:8px 0 14px;font-size:14px;background:#fff}
table.summary th{text-align:left;font-weight:600;padding:3px 14px 3px 8px;border-bottom:1px solid #ddd;background:#f0f4f8}
table.summary td{padding:3px 8px;border-bottom:1px solid #ddd}
.charts{display:flex;flex-wrap:wrap;gap:10px 20px;align-items:flex-start}
figure{margin:0;background:#fff;border:1px solid #ddd;padding:6px;box-sizing:border-box}
figure.wide{flex:0 0 100%}figure.half{flex:0 0 calc(50% - 10px)}
figcaption{font-size:13px;color:#333;padding:4px 6px 2px;max-width:1160px}
svg{display:block;max-width:100%;height:auto}
@media print{body{background:#fff}figure{break-inside:avoid}}
)";

}  // namespace

std::string reportPage(const RunLogRecord& record, const std::string& logName) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>designopt run report: " +
      xmlEscaped(logName) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  page += "<h1>designopt run report</h1>\n<p class=\"source\">Run log " + xmlEscaped(logName) + ": " +
          std::to_string(record.designs.size()) + (record.designs.size() == 1 ? " design" : " designs") +
          ".</p>\n";
  for (size_t k = 0; k < record.designs.size(); ++k) {
    const DesignRecord& d = record.designs[k];
    const auto vars = variableInfo(d.n);
    const std::string id = std::to_string(k + 1);
    page += "<section class=\"design\" id=\"design-" + id + "\" data-design=\"" + id + "\">\n";
    page += "<h2>Design " + id + (d.closed ? "" : " (interrupted)") + " <small>from line " +
            std::to_string(d.line) + " of the log</small></h2>\n";
    page += summaryTable(d, vars);
    std::string surfaceNote;
    const std::string surface = fittedSurfaceChart(d, vars, surfaceNote);
    page += "<div class=\"charts\">\n";
    page += figure(costHistoryChart(d, vars),
                   std::string("How did the cost go, evaluation by evaluation? Every priced point in "
                               "pricing order, iterations shaded; ") +
                       (d.closed && d.feasibleFound
                            ? "the black line is the best feasible cost from the evaluation where it "
                              "was reached (the log records the best design only at the end)."
                            : d.closed ? "no feasible design was found: every point is drawn open "
                                         "and none is marked best."
                                       : "the run was interrupted before its best design was recorded."),
                   true);
    page += figure(designSpaceChart(d, vars),
                   "Where did the cuts take the design space? For each variable, the frame of every "
                   "iteration's model (the ranges after the previous cut) with the points held in it.",
                   false);
    page += figure(predictedRealChart(d),
                   "Did the surface predict the optimum's cost? Each iteration's constrained optimum, "
                   "the fitted surface's value against the priced cost: a long line means the model "
                   "is not yet to be trusted there.",
                   false);
    page += figure(pairPlanesChart(d, vars),
                   "Where in the space are the cheap designs? Every priced point in the plane of each "
                   "pair of variables, coloured by cost, with each iteration's frame.",
                   true);
    page += figure(surface,
                   "How does the cost change along each variable near the chosen design? " + surfaceNote,
                   true);
    page += "</div>\n</section>\n";
  }
  return page + "</body>\n</html>\n";
}

std::string pointsTable(const RunLogRecord& record) {
  int maxN = 0;
  for (const DesignRecord& d : record.designs) maxN = std::max(maxN, d.n);
  std::string out = "design,iteration,point";
  if (maxN == 3) {
    out += ",length_in,tolerance,tc_degF";
  } else {
    for (int j = 1; j <= maxN; ++j) out += ",x" + std::to_string(j);
  }
  out += ",cost_usd,kind\n";
  for (size_t k = 0; k < record.designs.size(); ++k) {
    for (const PricedPoint& p : record.designs[k].priced) {
      out += std::to_string(k + 1) + "," + std::to_string(p.iteration) + "," + std::to_string(p.number);
      for (int j = 0; j < maxN; ++j) {
        out += ",";
        if (static_cast<size_t>(j) < p.x.size()) out += fixed(p.x[static_cast<size_t>(j)], 6);
      }
      out += "," + fixed(p.cost, 6) + "," + pointKindName(p.kind) + "\n";
    }
  }
  return out;
}

}  // namespace designopt
