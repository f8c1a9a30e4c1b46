// Reading the cost sheets of the built-in cost workbook.
#include "costworkbook/cost_sheet.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "costworkbook/workbook_text.h"

namespace designopt {

namespace {

constexpr const char* kProDataHeader = "[ProData]";

// The stand-in file of each fixed workbook path.
struct WorkbookStandIn {
  const char* workbookPath;
  const char* costSheetFile;
};
constexpr WorkbookStandIn kWorkbookStandIns[] = {
    {"C:\\zrk\\quva source\\QUVA2002.xls", "QUVA2002.costsheet"},
    {"C:\\zrk\\quva source\\QUVA2002_Old.xls", "QUVA2002_Old.costsheet"},
};

// How one "ProData" key is checked and where its value goes.
enum class PriceKind { Price, Reference };
struct PriceKey {
  const char* name;
  double CostSheet::*field;
  PriceKind kind;
};
constexpr PriceKey kPriceKeys[] = {
    {"FramePerInch", &CostSheet::framePerInch, PriceKind::Price},
    {"MandrelBarPerInch", &CostSheet::mandrelBarPerInch, PriceKind::Price},
    {"MandrelReferenceThickness", &CostSheet::mandrelReferenceThickness, PriceKind::Reference},
    {"SupportBarPerInch", &CostSheet::supportBarPerInch, PriceKind::Price},
    {"TubePerInch", &CostSheet::tubePerInch, PriceKind::Price},
    {"ClipPrice", &CostSheet::clipPrice, PriceKind::Price},
    {"TolerancePremium", &CostSheet::tolerancePremium, PriceKind::Price},
    {"ReferenceTolerance", &CostSheet::referenceTolerance, PriceKind::Reference},
};
constexpr int kPriceKeyCount = static_cast<int>(sizeof kPriceKeys / sizeof kPriceKeys[0]);

// A cost-sheet line without its comment and surrounding blanks.
std::string meaningfulPart(const std::string& line) {
  return trimBlanks(line.substr(0, line.find('#')));
}

bool isSectionHeader(const std::string& content) {
  return !content.empty() && content[0] == '[';
}

std::string lineProblem(int lineNumber, const std::string& what) {
  return "line " + std::to_string(lineNumber) + ": " + what;
}

int findPriceKey(const std::string& name) {
  for (int k = 0; k < kPriceKeyCount; ++k) {
    if (name == kPriceKeys[k].name) return k;
  }
  return -1;
}

// Checks and stores one "key = value" line of the ProData section.
bool readPriceLine(const std::string& content, int lineNumber, CostSheet& sheet,
                   bool (&seen)[kPriceKeyCount], std::string& problem) {
  const std::size_t equals = content.find('=');
  if (equals == std::string::npos) {
    problem = lineProblem(lineNumber, "expected \"key = value\"");
    return false;
  }
  const std::string name = trimBlanks(content.substr(0, equals));
  const std::string valueText = trimBlanks(content.substr(equals + 1));
  const int k = findPriceKey(name);
  if (k < 0) {
    problem = lineProblem(lineNumber, "unknown key \"" + name + "\"");
    return false;
  }
  if (seen[k]) {
    problem = lineProblem(lineNumber, "key " + name + " given twice");
    return false;
  }
  double value = 0.0;
  if (!parseFiniteNumber(valueText, value)) {
    problem = lineProblem(lineNumber, name + " is not a number");
    return false;
  }
  if (kPriceKeys[k].kind == PriceKind::Price && value < 0.0) {
    problem = lineProblem(lineNumber, name + " is negative");
    return false;
  }
  if (kPriceKeys[k].kind == PriceKind::Reference && !(value > 0.0)) {
    problem = lineProblem(lineNumber, name + " must be greater than zero");
    return false;
  }
  sheet.*(kPriceKeys[k].field) = value;
  seen[k] = true;
  return true;
}

}  // namespace

const char* costSheetFileName(const char* workbookPath) {
  for (const WorkbookStandIn& standIn : kWorkbookStandIns) {
    if (std::strcmp(workbookPath, standIn.workbookPath) == 0) return standIn.costSheetFile;
  }
  return nullptr;
}

bool readWorkbookFile(const std::string& path, std::string& contents, std::string& problem) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    problem = path + ": " + std::strerror(errno);
    return false;
  }
  // One byte more than allowed tells an oversized file from one of exactly the limit.
  std::string buffer(kMaxWorkbookFileBytes + 1, '\0');
  const std::size_t got = std::fread(&buffer[0], 1, buffer.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    problem = path + ": cannot be read";
    return false;
  }
  if (got > kMaxWorkbookFileBytes) {
    problem = path + ": larger than " + std::to_string(kMaxWorkbookFileBytes) + " bytes";
    return false;
  }
  buffer.resize(got);
  contents.swap(buffer);
  return true;
}

bool hasProDataSheet(const char* text, std::size_t size) {
  LineCursor cursor = startLines(text, size);
  std::string line;
  while (nextLine(cursor, line)) {
    if (meaningfulPart(line) == kProDataHeader) return true;
  }
  return false;
}

bool parseCostSheet(const char* text, std::size_t size, CostSheet& sheet, std::string& problem) {
  if (!hasProDataSheet(text, size)) {
    problem = "no sheet \"ProData\"";
    return false;
  }
  CostSheet read{};
  bool seen[kPriceKeyCount] = {};
  bool inProData = false;
  LineCursor cursor = startLines(text, size);
  std::string line;
  while (nextLine(cursor, line)) {
    const std::string content = meaningfulPart(line);
    if (content.empty()) continue;
    if (isSectionHeader(content)) {
      if (content.back() != ']') {
        problem = lineProblem(cursor.lineNumber, "unfinished section header");
        return false;
      }
      inProData = content == kProDataHeader;
      continue;
    }
    // Other sections are the sheet's notes; only ProData is read.
    if (!inProData) continue;
    if (!readPriceLine(content, cursor.lineNumber, read, seen, problem)) return false;
  }
  for (int k = 0; k < kPriceKeyCount; ++k) {
    if (!seen[k]) {
      problem = std::string("sheet \"ProData\" has no ") + kPriceKeys[k].name;
      return false;
    }
  }
  sheet = read;
  return true;
}

}  // namespace designopt
