// The built-in cost workbook's macro "Main": reading "outexcel.dat", pricing the
// design and handing the cost back.
#include "costworkbook/design_pricing.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "costworkbook/workbook_text.h"

namespace designopt {

namespace {

// Puts the completed temporary file in the place of `path` in one step. On Windows a
// plain rename refuses to replace a file that exists, and the cost file exists after
// the first pricing, so the replacing move is asked for explicitly.
bool replaceFile(const std::string& temporary, const std::string& path, std::string& problem) {
#if defined(_WIN32)
  if (MoveFileExA(temporary.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    problem = path + ": cannot be replaced (system error " + std::to_string(GetLastError()) + ")";
    return false;
  }
#else
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = path + ": " + std::strerror(errno);
    return false;
  }
#endif
  return true;
}

// The ten value keys of "outexcel.dat", exactly as designopt writes them.
enum class ValueKind { Count, Length, Tolerance };
struct ExchangeKey {
  const char* name;
  ValueKind kind;
  int ExchangeDesign::*count;      // set for counts
  double ExchangeDesign::*length;  // set for lengths and the tolerance
};
constexpr ExchangeKey kExchangeKeys[] = {
    {"TubeNumber", ValueKind::Count, &ExchangeDesign::tubeNumber, nullptr},
    {"thickness", ValueKind::Length, nullptr, &ExchangeDesign::thickness},
    {"tolerance", ValueKind::Tolerance, nullptr, &ExchangeDesign::tolerance},
    {"FrameCorner", ValueKind::Length, nullptr, &ExchangeDesign::frameCorner},
    {"FrameSide", ValueKind::Length, nullptr, &ExchangeDesign::frameSide},
    {"MandrelBar", ValueKind::Length, nullptr, &ExchangeDesign::mandrelBar},
    {"SupportBar", ValueKind::Length, nullptr, &ExchangeDesign::supportBar},
    {"Tube", ValueKind::Length, nullptr, &ExchangeDesign::tube},
    {"Clip", ValueKind::Count, &ExchangeDesign::clip, nullptr},
    {"BarNumber", ValueKind::Count, &ExchangeDesign::barNumber, nullptr},
};
constexpr int kExchangeKeyCount = static_cast<int>(sizeof kExchangeKeys / sizeof kExchangeKeys[0]);

constexpr const char* kCostFileFirstLine = " Production cost of the design in outexcel.dat (US dollars)";

int findExchangeKey(const std::string& name) {
  for (int k = 0; k < kExchangeKeyCount; ++k) {
    if (name == kExchangeKeys[k].name) return k;
  }
  return -1;
}

std::string lineProblem(int lineNumber, const std::string& what) {
  return "line " + std::to_string(lineNumber) + ": " + what;
}

// Checks and stores the value of one key line; `valueText` is what follows the key.
bool readExchangeValue(const ExchangeKey& key, const std::string& valueText, int lineNumber,
                       ExchangeDesign& design, std::string& problem) {
  const std::string name = key.name;
  if (key.kind == ValueKind::Count) {
    int count = 0;
    if (!parseWholeCount(valueText, count)) {
      problem = lineProblem(lineNumber, name + " is not a whole number");
      return false;
    }
    if (count < 0) {
      problem = lineProblem(lineNumber, name + " is negative");
      return false;
    }
    design.*(key.count) = count;
    return true;
  }
  double value = 0.0;
  if (!parseFiniteNumber(valueText, value)) {
    problem = lineProblem(lineNumber, name + " is not a number");
    return false;
  }
  if (key.kind == ValueKind::Tolerance && !(value > 0.0)) {
    problem = lineProblem(lineNumber, name + " must be greater than zero");
    return false;
  }
  if (value < 0.0) {
    problem = lineProblem(lineNumber, name + " is negative");
    return false;
  }
  design.*(key.length) = value;
  return true;
}

// printf into a std::string, however long the numbers make it.
void appendFormat(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (needed > 0) {
    std::string piece(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(&piece[0], piece.size(), format, again);
    piece.resize(static_cast<std::size_t>(needed));
    out += piece;
  }
  va_end(again);
}

BillLine perInchLine(const char* part, long quantity, double lengthEach, double perInch) {
  return BillLine{part, quantity, true, lengthEach, perInch, 0.0};
}

BillLine perPieceLine(const char* part, long quantity, double each) {
  return BillLine{part, quantity, false, 0.0, each, 0.0};
}

}  // namespace

bool parseExchangeText(const char* text, std::size_t size, ExchangeDesign& design,
                       std::string& problem) {
  ExchangeDesign read{};
  bool seen[kExchangeKeyCount] = {};
  LineCursor cursor = startLines(text, size);
  std::string line;
  while (nextLine(cursor, line)) {
    // A value line is the key, blanks and the value; every other line (the date,
    // the header, the empty lines) starts with a word that is not a key.
    const std::string content = trimBlanks(line);
    std::size_t keyEnd = 0;
    while (keyEnd < content.size() && content[keyEnd] != ' ' && content[keyEnd] != '\t') ++keyEnd;
    const int k = findExchangeKey(content.substr(0, keyEnd));
    if (k < 0) continue;
    if (seen[k]) {
      problem = lineProblem(cursor.lineNumber, std::string(kExchangeKeys[k].name) + " given twice");
      return false;
    }
    if (!readExchangeValue(kExchangeKeys[k], trimBlanks(content.substr(keyEnd)), cursor.lineNumber,
                           read, problem)) {
      return false;
    }
    seen[k] = true;
  }
  for (int k = 0; k < kExchangeKeyCount; ++k) {
    if (!seen[k]) {
      problem = std::string("no value for ") + kExchangeKeys[k].name;
      return false;
    }
  }
  design = read;
  return true;
}

bool priceDesign(const ExchangeDesign& design, const CostSheet& sheet, Bill& bill,
                 std::string& problem) {
  // The bar price per inch follows the bar's cross-section, so it scales with the
  // thickness; the premium grows as the tolerance tightens below the reference.
  const double mandrelPerInch =
      sheet.mandrelBarPerInch * (design.thickness / sheet.mandrelReferenceThickness);
  const double premium = sheet.tolerancePremium * (sheet.referenceTolerance / design.tolerance);
  Bill priced{};
  priced.lines[0] = perInchLine("Frame side", 2, design.frameSide, sheet.framePerInch);
  priced.lines[1] = perInchLine("Frame corner", 2, design.frameCorner, sheet.framePerInch);
  priced.lines[2] = perInchLine("Mandrel bar", design.barNumber, design.mandrelBar, mandrelPerInch);
  priced.lines[3] = perInchLine("Support bar", 1, design.supportBar, sheet.supportBarPerInch);
  priced.lines[4] = perInchLine("Tube", design.tubeNumber, design.tube, sheet.tubePerInch);
  priced.lines[5] = perPieceLine("Clip", design.clip, sheet.clipPrice);
  priced.lines[6] = perPieceLine("Tolerance premium", 1, premium);
  priced.total = 0.0;
  for (BillLine& line : priced.lines) {
    const double quantity = static_cast<double>(line.quantity);
    line.price = line.byLength ? quantity * line.lengthEach * line.unitPrice
                               : quantity * line.unitPrice;
    priced.total += line.price;
  }
  if (!std::isfinite(priced.total)) {
    problem = "the design is too large to price";
    return false;
  }
  bill = priced;
  return true;
}

std::string formatBill(const Bill& bill, const char* workbookPath) {
  std::string out;
  appendFormat(out, " Cost workbook %s, sheet ProData\n", workbookPath);
  appendFormat(out, " %-18s %7s %11s %13s %11s\n", "Part", "Pieces", "Inch each", "Unit price",
               "Price");
  for (const BillLine& line : bill.lines) {
    if (line.byLength) {
      appendFormat(out, " %-18s %7ld %11.3f %10.4f/in %11.2f\n", line.part, line.quantity,
                   line.lengthEach, line.unitPrice, line.price);
    } else {
      appendFormat(out, " %-18s %7ld %11s %10.4f/pc %11.2f\n", line.part, line.quantity, "",
                   line.unitPrice, line.price);
    }
  }
  appendFormat(out, " %-18s %7s %11s %13s %11.2f\n", "Total", "", "", "", bill.total);
  return out;
}

bool writeCostFile(const std::string& path, const Bill& bill, std::string& problem) {
  const std::string temporary = path + ".new";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) {
    problem = temporary + ": " + std::strerror(errno);
    return false;
  }
  bool written = std::fprintf(file, "%s\n%.4f\n", kCostFileFirstLine, bill.total) > 0;
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (!written) {
    std::remove(temporary.c_str());
    problem = temporary + ": cannot be written";
    return false;
  }
  if (!replaceFile(temporary, path, problem)) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace designopt
