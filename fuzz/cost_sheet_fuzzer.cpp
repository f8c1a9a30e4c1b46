// Fuzzes the built-in cost workbook's cost-sheet reader: any bytes as a cost sheet.
// A sheet it accepts must hold usable prices, and pricing a realistic design with
// them must give a finite cost and a bill that formats.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "costworkbook/cost_sheet.h"
#include "costworkbook/design_pricing.h"

namespace {

bool isPrice(double value) { return std::isfinite(value) && value >= 0.0; }
bool isReference(double value) { return std::isfinite(value) && value > 0.0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace designopt;
  const char* text = reinterpret_cast<const char*>(data);
  const bool hasSheet = hasProDataSheet(text, size);
  CostSheet sheet{};
  std::string problem;
  if (!parseCostSheet(text, size, sheet, problem)) {
    if (problem.empty()) __builtin_trap();
    return 0;
  }
  if (!hasSheet) __builtin_trap();
  if (!isPrice(sheet.framePerInch) || !isPrice(sheet.mandrelBarPerInch) ||
      !isReference(sheet.mandrelReferenceThickness) || !isPrice(sheet.supportBarPerInch) ||
      !isPrice(sheet.tubePerInch) || !isPrice(sheet.clipPrice) ||
      !isPrice(sheet.tolerancePremium) || !isReference(sheet.referenceTolerance)) {
    __builtin_trap();
  }

  // The design of length 48, width 2, tube number 5, thickness 0.125, tolerance 0.008.
  const ExchangeDesign design{5, 0.125, 0.008, 3.125, 49.125, 48.0, 1.5, 1.625, 10, 4};
  Bill bill{};
  if (!priceDesign(design, sheet, bill, problem)) return 0;
  if (!std::isfinite(bill.total) || bill.total < 0.0) __builtin_trap();
  if (formatBill(bill, "fuzz").empty()) __builtin_trap();
  return 0;
}
