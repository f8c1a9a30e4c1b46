// The whole-program tests' fake cost of a design, for the Windows programs that price
// under Wine: the fake launchers (fake_launcher.cpp) and the Excel automation stand-in's
// macro "Main" (tests/excel_stand_in/). The formulas are the session harness's
// kConvexCost and kConcaveCost, evaluated in the same order of operations, with m the
// MandrelBar and t the tolerance of "outexcel.dat"; "ProIn.dat" gets a first line, then
// the cost as "%.6f", as the harness's shell-script fakes write it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace designopt_wine {

// The values of the key lines of an exchange file, read as the fakes' awk reads its
// second field.
inline bool readFakeCostKeys(const char* exchangeFile, double& m, double& t) {
  std::FILE* in = std::fopen(exchangeFile, "r");
  if (in == nullptr) return false;
  char line[256];
  char key[64];
  char value[64];
  m = 0.0;
  t = 0.0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (std::sscanf(line, "%63s %63s", key, value) != 2) continue;
    if (std::strcmp(key, "MandrelBar") == 0) m = std::strtod(value, nullptr);
    if (std::strcmp(key, "tolerance") == 0) t = std::strtod(value, nullptr);
  }
  std::fclose(in);
  return true;
}

// Prices "outexcel.dat" into "ProIn.dat" of the working directory with the formula
// named "convex" or "concave"; false when the formula is unknown or a file fails.
inline bool writeFakeCost(const char* formula, double* priced = nullptr) {
  double m = 0.0;
  double t = 0.0;
  if (formula == nullptr || !readFakeCostKeys("outexcel.dat", m, t)) return false;
  double cost = 0.0;
  if (std::strcmp(formula, "convex") == 0) {
    cost = 10 + 0.01 * (m - 36) * (m - 36) + 0.02 / t;
  } else if (std::strcmp(formula, "concave") == 0) {
    cost = 100 - 0.01 * (m - 44) * (m - 44);
  } else {
    return false;
  }
  std::FILE* out = std::fopen("ProIn.dat", "w");
  if (out == nullptr) return false;
  std::fprintf(out, "Cost of the design\n%.6f\n", cost);
  if (priced != nullptr) *priced = cost;
  return std::fclose(out) == 0;
}

}  // namespace designopt_wine
