// Designs shared by the tests and benchmarks of the product, the searches and the
// driver: header-only, not part of any library.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "product/product_record.h"

namespace designopt {

// The worked grille: width 2 inch, static pressure 0.1 inch of water, 100 CFM required,
// maximum NC 25, room temperature 70, with the flow coefficient its first pricing leaves
// behind. Its constraints hold for lengths of about 47.4 to 99 inches and Tc from 72.1
// to 75.1.
inline ProductSpec workedGrilleDesign() {
  ProductSpec grille{};
  grille.grilleWidth = 2;
  grille.staticPressure = 0.1;
  grille.requiredCfm = 100;
  grille.maxNC = 25;
  grille.roomTemperature = 70;
  grille.flowCoefficient = 1.9295 * std::log(0.1) + 12.58;
  return grille;
}

// A figure as the system prints it with "%f": six decimals.
inline std::string sixDecimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

}  // namespace designopt
