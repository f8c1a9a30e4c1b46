// Capacity and noise criterion of a linear grille from the fitted catalogue formulas.
// No input is checked: a length, width or pressure of zero or less gives whatever the
// logarithm and the power give in IEEE arithmetic (NaN or infinities), and the
// printed line shows it.
#include "product/performance_model.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "product/product_record.h"

namespace designopt {

namespace {

// flowCoefficient = a ln(Ps) + b for the catalogue widths; widths match exactly.
struct FlowCoefficientRow {
  double width;  // inch
  double a;
  double b;
};

constexpr FlowCoefficientRow kFlowCoefficientTable[] = {
    {1.5, 1.3074, 8.1067}, {2, 1.9295, 12.58},   {2.5, 2.4671, 16.837}, {3, 3.3257, 22.357},
    {3.5, 4.392, 28.738},  {4, 4.8035, 32.675}, {5, 6.352, 42.84},     {6, 8.4484, 55.067},
};

// One twelfth, inches to feet, held as this exact double.
constexpr double kFeetPerInch = 0.08333333333333333;

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

double grilleCapacity(double length, double width, double flowCoefficient) {
  // The bracket is the capacity per foot of grille.
  return (0.3639 * (width * width) + 12.341 * width - 8.9601 + flowCoefficient) * length *
         kFeetPerInch;
}

double noiseCriterion(double length, double staticPressure, double width) {
  // The pressure's power and the width's logarithm are the same at every point of a
  // search (the constrained search asks some 10^5 times per design): each is kept with
  // the argument it was taken of and taken again only for another argument, bit for
  // bit.
  struct KeptValue {
    std::uint64_t argumentBits = 0;
    bool kept = false;
    double value = 0.0;
  };
  static KeptValue pressurePower;
  static KeptValue widthLog;
  const std::uint64_t pressureBits = bitsOf(staticPressure);
  if (!pressurePower.kept || pressurePower.argumentBits != pressureBits) {
    pressurePower = {pressureBits, true, std::pow(staticPressure, 0.3234)};
  }
  const std::uint64_t widthBits = bitsOf(width);
  if (!widthLog.kept || widthLog.argumentBits != widthBits) {
    widthLog = {widthBits, true, std::log(width)};
  }
  return 13.922 * pressurePower.value + (4.6011 * std::log(length) - 17.595) +
         (4.566 * widthLog.value + 11.654);
}

void computePerformance(double length, double staticPressure, double width) {
  ProductSpec& grille = productSpec;
  for (const FlowCoefficientRow& row : kFlowCoefficientTable) {
    if (width == row.width) {
      grille.flowCoefficient = row.a * std::log(staticPressure) + row.b;
      break;
    }
  }
  grille.capacityCfm = grilleCapacity(length, width, grille.flowCoefficient);
  grille.predictedNC = noiseCriterion(length, staticPressure, width);
}

void predictPerformance(double length, double staticPressure, double width) {
  computePerformance(length, staticPressure, width);
  const ProductSpec& grille = productSpec;
  // Under "Vel" stands the designer's required air supply, not a computed velocity.
  std::printf(" Vel %6.2f NC %f\n", grille.requiredCfm, grille.predictedNC);
}

}  // namespace designopt
