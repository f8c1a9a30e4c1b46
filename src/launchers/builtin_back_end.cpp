// The launchers' back end over the built-in cost workbook.
#include "launchers/builtin_back_end.h"

#include <cstdio>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__linux__)
#include <unistd.h>
#endif

namespace designopt {

namespace {

constexpr const char* kExchangeFile = "outexcel.dat";
constexpr const char* kCostFile = "ProIn.dat";

// The path of the running launcher's executable, or "" when the system does not say.
std::string executablePath() {
#if defined(_WIN32)
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length > 0 && length < sizeof buffer) return std::string(buffer, length);
#elif defined(__linux__)
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    return std::string(buffer, static_cast<std::size_t>(length));
  }
#endif
  return std::string();
}

// The directory part of a path, with its separator, or "" when it has none.
std::string directoryOf(const std::string& path) {
#if defined(_WIN32)
  const std::size_t separator = path.find_last_of("\\/");
#else
  const std::size_t separator = path.rfind('/');
#endif
  if (separator == std::string::npos) return std::string();
  return path.substr(0, separator + 1);
}

}  // namespace

BuiltInBackEnd::BuiltInBackEnd(const char* launcherName, bool closesWorkbook)
    : launcherName_(launcherName), macroWritesCost_(closesWorkbook) {}

bool BuiltInBackEnd::fail(const std::string& message) {
  failure_ = std::string(launcherName_) + ": " + message;
  return false;
}

void BuiltInBackEnd::reportFailure() const {
  std::fprintf(stderr, "%s\n", failure_.c_str());
}

// The application finds its workbooks beside the launcher.
bool BuiltInBackEnd::startApplication() {
  directory_ = directoryOf(executablePath());
  if (directory_.empty()) {
    return fail("cannot find the directory of the launcher, where its cost sheets are");
  }
  return true;
}

// The built-in application has no window of its own.
bool BuiltInBackEnd::setVisible(bool) { return true; }

// Workbooks.Open: the fixed workbook path names one cost-sheet file beside the launcher.
bool BuiltInBackEnd::openWorkbook(const char* path, bool /*readOnly*/) {
  workbookPath_ = path;
  const char* fileName = costSheetFileName(path);
  if (fileName == nullptr) {
    return fail("cannot open the cost workbook " + workbookPath_ +
                ": no cost sheet stands in for it");
  }
  workbookFile_ = directory_ + fileName;
  std::string problem;
  if (!readWorkbookFile(workbookFile_, workbookText_, problem)) {
    return fail("cannot open the cost workbook " + workbookPath_ + " (" + problem + ")");
  }
  workbookOpen_ = true;
  return true;
}

// Sheets(name): the workbook must have that sheet, and its prices must be whole.
bool BuiltInBackEnd::takeSheet(const char* name) {
  if (std::string(name) != kProDataSheetName ||
      !hasProDataSheet(workbookText_.data(), workbookText_.size())) {
    return fail("the cost workbook " + workbookPath_ + " (" + workbookFile_ +
                ") has no sheet \"" + name + "\"");
  }
  std::string problem;
  if (!parseCostSheet(workbookText_.data(), workbookText_.size(), sheet_, problem)) {
    return fail("sheet \"" + std::string(name) + "\" of " + workbookFile_ + ": " + problem);
  }
  return true;
}

// Application.Run("Main"): prices the design in "outexcel.dat" of the working
// directory. The workbook that is closed afterwards hands the cost back in
// "ProIn.dat", written only once the whole design has been priced.
bool BuiltInBackEnd::runMacro(const char* name) {
  const std::string macro = name;
  if (macro != kPricingMacroName) return fail("the cost workbook has no macro \"" + macro + "\"");
  std::string text;
  std::string problem;
  ExchangeDesign design{};
  if (!readWorkbookFile(kExchangeFile, text, problem)) {
    return fail("macro \"" + macro + "\" cannot read the design: " + problem);
  }
  if (!parseExchangeText(text.data(), text.size(), design, problem)) {
    return fail("macro \"" + macro + "\" cannot read the design: " + kExchangeFile + ": " + problem);
  }
  if (!priceDesign(design, sheet_, bill_, problem)) {
    return fail("macro \"" + macro + "\" cannot price the design in " + kExchangeFile + ": " +
                problem);
  }
  priced_ = true;
  if (macroWritesCost_ && !writeCostFile(kCostFile, bill_, problem)) {
    return fail("macro \"" + macro + "\" cannot write the cost: " + problem);
  }
  return true;
}

bool BuiltInBackEnd::closeWorkbookUnsaved() {
  workbookOpen_ = false;
  return true;
}

// Handing the application to the designer shows the workbook left open: the console
// is where the built-in cost workbook shows its priced bill.
bool BuiltInBackEnd::setUserControl(bool userControl) {
  if (!userControl || !workbookOpen_ || !priced_) return true;
  const std::string shown = formatBill(bill_, workbookPath_.c_str());
  std::fputs(shown.c_str(), stdout);
  if (std::fflush(stdout) != 0) return fail("cannot show the bill of materials");
  return true;
}

}  // namespace designopt
