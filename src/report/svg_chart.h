// The few chart pieces the run report draws, written as SVG text: a canvas, linear
// scales with round ticks, axes with labels, point markers and a sequential colour
// scale. The colours keep apart for the common colour-vision deficiencies: the
// categories use the Okabe-Ito palette, the cost scale runs from dark blue to yellow
// in even steps of lightness; markers also differ in shape, so the charts read in
// grey print too.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace designopt {

// Okabe-Ito colours.
namespace palette {
inline constexpr const char* kBlack = "#000000";
inline constexpr const char* kOrange = "#E69F00";
inline constexpr const char* kSkyBlue = "#56B4E9";
inline constexpr const char* kBluishGreen = "#009E73";
inline constexpr const char* kYellow = "#F0E442";
inline constexpr const char* kBlue = "#0072B2";
inline constexpr const char* kVermillion = "#D55E00";
inline constexpr const char* kReddishPurple = "#CC79A7";
// A colour per design iteration, cycling.
const char* iterationColour(int iteration);
}  // namespace palette

// The colour of t in [0, 1] on the cost scale (dark blue, low, to yellow, high).
std::string costColour(double t);

// Text with the XML special characters written as entities.
std::string xmlEscaped(const std::string& text);

// A number with the given decimals, in the C locale's form.
std::string fixed(double value, int decimals);

// Maps a data interval onto a pixel interval (either may run backwards).
struct LinearScale {
  double d0 = 0.0, d1 = 1.0;  // data
  double r0 = 0.0, r1 = 1.0;  // pixels
  double operator()(double v) const;
  // Round tick values inside the data interval (steps of 1, 2 or 5 times a power of ten)
  // and the decimals that print them distinctly.
  std::vector<double> ticks(int wanted) const;
  int tickDecimals(int wanted) const;
};

// A data interval widened by a margin on each side, and never empty.
std::pair<double, double> paddedExtent(double lo, double hi, double margin = 0.05);

// The plotting area of a panel, in the canvas's pixels.
struct PlotArea {
  double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

enum class Marker { Circle, Triangle, Diamond, Square, Star };

class SvgCanvas {
 public:
  // chartName goes into data-chart; title is the chart's accessible name.
  SvgCanvas(double width, double height, const std::string& chartName, const std::string& title);

  void line(double x1, double y1, double x2, double y2, const std::string& stroke,
            double strokeWidth = 1.0, const std::string& dash = "");
  void rect(double x, double y, double w, double h, const std::string& fill,
            const std::string& stroke = "none", double strokeWidth = 1.0,
            const std::string& dash = "", double fillOpacity = 1.0);
  void polyline(const std::vector<std::pair<double, double>>& pts, const std::string& stroke,
                double strokeWidth = 1.5, const std::string& dash = "");
  void marker(Marker shape, double x, double y, double size, const std::string& fill,
              const std::string& stroke = "#ffffff", double opacity = 1.0,
              const std::string& tooltip = "");
  // anchor: start, middle or end; rotate: degrees about (x, y).
  void text(double x, double y, const std::string& content, const std::string& anchor = "start",
            double size = 12.0, const std::string& weight = "normal", double rotate = 0.0,
            const std::string& fill = "#222222");
  // Frame, grid lines, ticks with their values, and the axis labels of one panel.
  void axes(const PlotArea& area, const LinearScale& x, const LinearScale& y,
            const std::string& xLabel, const std::string& yLabel, int xTicks = 6, int yTicks = 5);
  // A legend entry: marker and text, at (x, y) the marker's centre.
  void legendEntry(double x, double y, Marker shape, const std::string& colour,
                   const std::string& label);
  // A horizontal cost colour bar from lo to hi with its ticks, labelled.
  void colourBar(double x, double y, double width, double lo, double hi, const std::string& label);

  std::string str() const;

 private:
  double width_, height_;
  std::string name_, title_;
  std::string body_;
};

}  // namespace designopt
