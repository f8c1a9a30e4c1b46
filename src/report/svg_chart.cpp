// SVG text for the report's charts.
#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace designopt {

namespace {

// Cost scale stops, dark blue to yellow, near-even in lightness (the viridis family).
constexpr double kCostStops[][3] = {
    {68, 1, 84},    {72, 40, 120},  {62, 74, 137},  {49, 104, 142}, {38, 130, 142},
    {31, 158, 137}, {53, 183, 121}, {110, 206, 88}, {181, 222, 43}, {253, 231, 37},
};
constexpr int kCostStopCount = sizeof kCostStops / sizeof kCostStops[0];

constexpr double kPi = 3.14159265358979323846;

std::string attr(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + value + "\"";
}

std::string num(double v) { return fixed(v, 2); }

double niceStep(double span, int wanted) {
  const double raw = span / std::max(1, wanted);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double f = raw / power;
  const double nice = f < 1.5 ? 1.0 : f < 3.5 ? 2.0 : f < 7.5 ? 5.0 : 10.0;
  return nice * power;
}

}  // namespace

const char* palette::iterationColour(int iteration) {
  static const char* const kCycle[] = {kBlue, kOrange, kBluishGreen, kReddishPurple,
                                       kSkyBlue, kVermillion, kBlack};
  return kCycle[(std::max(iteration, 1) - 1) % 7];
}

std::string costColour(double t) {
  if (!(t >= 0.0)) t = 0.0;
  if (t > 1.0) t = 1.0;
  const double pos = t * (kCostStopCount - 1);
  const int i = std::min(static_cast<int>(pos), kCostStopCount - 2);
  const double f = pos - i;
  char out[8];
  int rgb[3];
  for (int c = 0; c < 3; ++c) {
    rgb[c] = static_cast<int>(std::lround(kCostStops[i][c] + (kCostStops[i + 1][c] - kCostStops[i][c]) * f));
  }
  std::snprintf(out, sizeof out, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return out;
}

std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 12), value);
  std::string s = buf;
  if (s == "-0" || (s.rfind("-0.", 0) == 0 && s.find_first_not_of("-0.") == std::string::npos)) {
    s.erase(0, 1);
  }
  return s;
}

double LinearScale::operator()(double v) const {
  if (d1 == d0) return (r0 + r1) * 0.5;
  return r0 + (v - d0) / (d1 - d0) * (r1 - r0);
}

std::vector<double> LinearScale::ticks(int wanted) const {
  std::vector<double> out;
  const double lo = std::min(d0, d1), hi = std::max(d0, d1);
  if (!(hi > lo) || !std::isfinite(hi - lo)) return out;
  const double step = niceStep(hi - lo, wanted);
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; k += 1.0) {
    out.push_back(k * step);
  }
  return out;
}

int LinearScale::tickDecimals(int wanted) const {
  const double lo = std::min(d0, d1), hi = std::max(d0, d1);
  if (!(hi > lo) || !std::isfinite(hi - lo)) return 2;
  const double step = niceStep(hi - lo, wanted);
  return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

std::pair<double, double> paddedExtent(double lo, double hi, double margin) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {0.0, 1.0};
  if (hi < lo) std::swap(lo, hi);
  double span = hi - lo;
  if (span <= 0.0) span = std::max(std::fabs(lo) * 0.1, 1e-6);
  return {lo - span * margin, hi + span * margin};
}

SvgCanvas::SvgCanvas(double width, double height, const std::string& chartName,
                     const std::string& title)
    : width_(width), height_(height), name_(chartName), title_(title) {}

void SvgCanvas::line(double x1, double y1, double x2, double y2, const std::string& stroke,
                     double strokeWidth, const std::string& dash) {
  body_ += "<line" + attr("x1", num(x1)) + attr("y1", num(y1)) + attr("x2", num(x2)) +
           attr("y2", num(y2)) + attr("stroke", stroke) + attr("stroke-width", num(strokeWidth));
  if (!dash.empty()) body_ += attr("stroke-dasharray", dash);
  body_ += "/>\n";
}

void SvgCanvas::rect(double x, double y, double w, double h, const std::string& fill,
                     const std::string& stroke, double strokeWidth, const std::string& dash,
                     double fillOpacity) {
  body_ += "<rect" + attr("x", num(x)) + attr("y", num(y)) + attr("width", num(std::max(w, 0.0))) +
           attr("height", num(std::max(h, 0.0))) + attr("fill", fill) + attr("stroke", stroke) +
           attr("stroke-width", num(strokeWidth));
  if (fillOpacity < 1.0) body_ += attr("fill-opacity", num(fillOpacity));
  if (!dash.empty()) body_ += attr("stroke-dasharray", dash);
  body_ += "/>\n";
}

void SvgCanvas::polyline(const std::vector<std::pair<double, double>>& pts,
                         const std::string& stroke, double strokeWidth, const std::string& dash) {
  if (pts.size() < 2) return;
  std::string list;
  for (const auto& p : pts) list += num(p.first) + "," + num(p.second) + " ";
  list.pop_back();
  body_ += "<polyline" + attr("points", list) + attr("fill", "none") + attr("stroke", stroke) +
           attr("stroke-width", num(strokeWidth)) + attr("stroke-linejoin", "round");
  if (!dash.empty()) body_ += attr("stroke-dasharray", dash);
  body_ += "/>\n";
}

void SvgCanvas::marker(Marker shape, double x, double y, double size, const std::string& fill,
                       const std::string& stroke, double opacity, const std::string& tooltip) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  const double r = size * 0.5;
  std::string common = attr("fill", fill) + attr("stroke", stroke) + attr("stroke-width", "1");
  if (opacity < 1.0) common += attr("opacity", num(opacity));
  std::string open;
  auto polygon = [&](const std::vector<std::pair<double, double>>& pts) {
    std::string list;
    for (const auto& p : pts) list += num(x + p.first) + "," + num(y + p.second) + " ";
    list.pop_back();
    return "<polygon" + attr("points", list) + common;
  };
  switch (shape) {
    case Marker::Circle:
      open = "<circle" + attr("cx", num(x)) + attr("cy", num(y)) + attr("r", num(r)) + common;
      break;
    case Marker::Square:
      open = "<rect" + attr("x", num(x - r)) + attr("y", num(y - r)) + attr("width", num(size)) +
             attr("height", num(size)) + common;
      break;
    case Marker::Triangle:
      open = polygon({{0, -r * 1.15}, {r * 1.05, r * 0.75}, {-r * 1.05, r * 0.75}});
      break;
    case Marker::Diamond:
      open = polygon({{0, -r * 1.25}, {r, 0}, {0, r * 1.25}, {-r, 0}});
      break;
    case Marker::Star: {
      std::vector<std::pair<double, double>> pts;
      for (int k = 0; k < 10; ++k) {
        const double a = -kPi / 2 + k * kPi / 5;
        const double rr = (k % 2 == 0) ? r * 1.4 : r * 0.6;
        pts.push_back({rr * std::cos(a), rr * std::sin(a)});
      }
      open = polygon(pts);
      break;
    }
  }
  if (tooltip.empty()) {
    body_ += open + "/>\n";
  } else {
    const std::string tag = open.substr(1, open.find(' ') - 1);
    body_ += open + "><title>" + xmlEscaped(tooltip) + "</title></" + tag + ">\n";
  }
}

void SvgCanvas::text(double x, double y, const std::string& content, const std::string& anchor,
                     double size, const std::string& weight, double rotate,
                     const std::string& fill) {
  body_ += "<text" + attr("x", num(x)) + attr("y", num(y)) + attr("font-size", num(size)) +
           attr("text-anchor", anchor) + attr("fill", fill);
  if (weight != "normal") body_ += attr("font-weight", weight);
  if (rotate != 0.0) {
    body_ += attr("transform", "rotate(" + num(rotate) + " " + num(x) + " " + num(y) + ")");
  }
  body_ += ">" + xmlEscaped(content) + "</text>\n";
}

void SvgCanvas::axes(const PlotArea& a, const LinearScale& x, const LinearScale& y,
                     const std::string& xLabel, const std::string& yLabel, int xTicks,
                     int yTicks) {
  rect(a.left, a.top, a.width, a.height, "#ffffff", "#888888", 1.0);
  const int xd = x.tickDecimals(xTicks), yd = y.tickDecimals(yTicks);
  for (double t : x.ticks(xTicks)) {
    const double px = x(t);
    line(px, a.top, px, a.bottom(), "#e4e4e4", 1.0);
    line(px, a.bottom(), px, a.bottom() + 4, "#555555", 1.0);
    text(px, a.bottom() + 16, fixed(t, xd), "middle", 11);
  }
  for (double t : yTicks > 0 ? y.ticks(yTicks) : std::vector<double>{}) {
    const double py = y(t);
    line(a.left, py, a.right(), py, "#e4e4e4", 1.0);
    line(a.left - 4, py, a.left, py, "#555555", 1.0);
    text(a.left - 6, py + 4, fixed(t, yd), "end", 11);
  }
  text(a.left + a.width * 0.5, a.bottom() + 34, xLabel, "middle", 12, "bold");
  if (!yLabel.empty()) {
    const double lx = a.left - 52, ly = a.top + a.height * 0.5;
    text(lx, ly, yLabel, "middle", 12, "bold", -90.0);
  }
}

void SvgCanvas::legendEntry(double x, double y, Marker shape, const std::string& colour,
                            const std::string& label) {
  marker(shape, x, y, 9, colour, shape == Marker::Star ? "#000000" : "#ffffff");
  text(x + 10, y + 4, label, "start", 11);
}

void SvgCanvas::colourBar(double x, double y, double width, double lo, double hi,
                          const std::string& label) {
  const int steps = 40;
  for (int i = 0; i < steps; ++i) {
    rect(x + width * i / steps, y, width / steps + 0.6, 10, costColour((i + 0.5) / steps));
  }
  rect(x, y, width, 10, "none", "#888888", 1.0);
  LinearScale s{lo, hi, x, x + width};
  const int d = s.tickDecimals(4);
  for (double t : s.ticks(4)) {
    line(s(t), y + 10, s(t), y + 14, "#555555");
    text(s(t), y + 25, fixed(t, d), "middle", 10);
  }
  text(x - 8, y + 9, label, "end", 11, "bold");
}

std::string SvgCanvas::str() const {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\"" + attr("width", num(width_)) +
         attr("height", num(height_)) +
         attr("viewBox", "0 0 " + num(width_) + " " + num(height_)) + attr("role", "img") +
         attr("data-chart", name_) + attr("aria-label", xmlEscaped(title_)) +
         " font-family=\"DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif\">\n<title>" +
         xmlEscaped(title_) + "</title>\n" + body_ + "</svg>\n";
}

}  // namespace designopt
