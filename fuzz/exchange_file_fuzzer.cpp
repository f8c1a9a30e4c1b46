// Fuzzes the built-in cost workbook's reader of "outexcel.dat": any bytes as the
// exchange file. A design it accepts must be one a grille can have, and pricing it
// with the current cost sheet must either refuse it or give a finite bill that formats.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "costworkbook/cost_sheet.h"
#include "costworkbook/design_pricing.h"

namespace {

bool isLength(double value) { return std::isfinite(value) && value >= 0.0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace designopt;
  ExchangeDesign design{};
  std::string problem;
  if (!parseExchangeText(reinterpret_cast<const char*>(data), size, design, problem)) {
    if (problem.empty()) __builtin_trap();
    return 0;
  }
  if (design.tubeNumber < 0 || design.clip < 0 || design.barNumber < 0 ||
      !isLength(design.thickness) || !(std::isfinite(design.tolerance) && design.tolerance > 0.0) ||
      !isLength(design.frameCorner) || !isLength(design.frameSide) ||
      !isLength(design.mandrelBar) || !isLength(design.supportBar) || !isLength(design.tube)) {
    __builtin_trap();
  }

  // The prices of the current cost sheet, QUVA2002.costsheet.
  const CostSheet sheet{0.125, 0.065, 0.125, 0.11, 0.36, 0.19, 4.50, 0.010};
  Bill bill{};
  if (!priceDesign(design, sheet, bill, problem)) {
    if (problem.empty()) __builtin_trap();
    return 0;
  }
  if (!std::isfinite(bill.total) || bill.total < 0.0) __builtin_trap();
  if (formatBill(bill, "fuzz").empty()) __builtin_trap();
  return 0;
}
