// The cost workbook launchers Prevada, Quorvel and Tallowin: one program built three
// times. Each opens its cost workbook, looks up the sheet "ProData", runs the macro
// "Main" that prices the design in "outexcel.dat", closes the workbook unsaved when it
// is Tallowin, hands Excel back and ends. designopt starts them by command name and
// waits; nothing but the exchange files and the workbook on the screen passes between.
//
// The builds differ only in three definitions:
//   LAUNCHER_NAME                 "Prevada", "Quorvel" or "Tallowin"
//   LAUNCHER_USES_EARLIER_PRICES  1 for the earlier workbook (QUVA2002_Old), 0 for the current
//   LAUNCHER_CLOSES_WORKBOOK      1 when the workbook is closed unsaved after the macro
//
// On Windows the sequence drives Excel through its automation interface and shows an
// automation error in a message box. Elsewhere the same sequence runs over the
// built-in cost workbook: a cost-sheet file beside the launcher stands in for each
// workbook, its macro "Main" writes "ProIn.dat" (Tallowin) or shows the priced bill of
// materials on the console (Prevada, Quorvel), and a failure is reported on the
// standard error stream. Either way a failure ends the launcher with status 1 and
// leaves "ProIn.dat" as it was.

#if !defined(LAUNCHER_NAME) || !defined(LAUNCHER_USES_EARLIER_PRICES) || \
    !defined(LAUNCHER_CLOSES_WORKBOOK)
#error "each launcher build defines LAUNCHER_NAME, LAUNCHER_USES_EARLIER_PRICES and LAUNCHER_CLOSES_WORKBOOK"
#endif

#if LAUNCHER_USES_EARLIER_PRICES
#define LAUNCHER_WORKBOOK_PATH "C:\\zrk\\quva source\\QUVA2002_Old.xls"
#else
#define LAUNCHER_WORKBOOK_PATH "C:\\zrk\\quva source\\QUVA2002.xls"
#endif

#if defined(_WIN32)

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cwchar>
#include <string>

namespace {

constexpr LCID kUsEnglish = 1033;
constexpr const wchar_t* kLauncherName = L"" LAUNCHER_NAME;
constexpr const wchar_t* kWorkbookPath = L"" LAUNCHER_WORKBOOK_PATH;
constexpr bool kClosesWorkbook = LAUNCHER_CLOSES_WORKBOOK != 0;

// The failure of one automation call: its error number and text.
struct AutomationError {
  HRESULT code;
  std::wstring text;
};

// The object references a launcher holds for its whole run.
struct ExcelReferences {
  IDispatch* application;  // Excel.Application
  IDispatch* workbook;     // the opened cost workbook
  IDispatch* sheet;        // its sheet "ProData"
};

std::wstring systemErrorText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, length) : L"Automation error";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

AutomationError errorOf(HRESULT code) { return AutomationError{code, systemErrorText(code)}; }

// Takes the error Excel raised inside a call apart and frees what it allocated.
AutomationError errorOfException(EXCEPINFO& exception) {
  if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  const HRESULT code = exception.scode != 0 ? exception.scode
                                            : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL,
                                                           exception.wCode);
  AutomationError error = errorOf(code);
  if (exception.bstrDescription != nullptr && exception.bstrDescription[0] != L'\0') {
    error.text = exception.bstrDescription;
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return error;
}

// Calls one member of an automation object by name (late binding, US English),
// with at most one positional argument. A property set passes its value as the
// named argument DISPID_PROPERTYPUT.
bool invokeMember(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argument,
                  VARIANT* result, AutomationError& error) {
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(member);
  HRESULT status = object->GetIDsOfNames(IID_NULL, &name, 1, kUsEnglish, &id);
  if (FAILED(status)) {
    error = errorOf(status);
    return false;
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{};
  if (argument != nullptr) {
    parameters.rgvarg = argument;
    parameters.cArgs = 1;
  }
  if (kind == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &putId;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT argumentError = 0;
  status = object->Invoke(id, IID_NULL, kUsEnglish, kind, &parameters, result, &exception,
                          &argumentError);
  if (status == DISP_E_EXCEPTION) {
    error = errorOfException(exception);
    return false;
  }
  if (FAILED(status)) {
    error = errorOf(status);
    return false;
  }
  return true;
}

bool setBoolean(IDispatch* object, const wchar_t* property, bool value, AutomationError& error) {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BOOL;
  argument.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return invokeMember(object, property, DISPATCH_PROPERTYPUT, &argument, nullptr, error);
}

// Calls a member that returns an object and keeps the reference in `object`.
bool getObject(IDispatch* from, const wchar_t* member, WORD kind, const wchar_t* textArgument,
               IDispatch*& object, AutomationError& error) {
  VARIANT argument;
  VariantInit(&argument);
  if (textArgument != nullptr) {
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocString(textArgument);
    if (argument.bstrVal == nullptr) {
      error = errorOf(E_OUTOFMEMORY);
      return false;
    }
  }
  VARIANT result;
  VariantInit(&result);
  const bool called =
      invokeMember(from, member, kind, textArgument != nullptr ? &argument : nullptr, &result, error);
  VariantClear(&argument);
  if (!called) return false;
  if (result.vt != VT_DISPATCH || result.pdispVal == nullptr) {
    VariantClear(&result);
    error = AutomationError{E_NOINTERFACE, std::wstring(member) + L" did not return an object"};
    return false;
  }
  object = result.pdispVal;  // the variant's reference becomes ours
  return true;
}

void release(IDispatch*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void releaseAll(ExcelReferences& excel) {
  release(excel.sheet);
  release(excel.workbook);
  release(excel.application);
}

// Steps 1 to 9 of the load sequence. On failure the references obtained so far
// are released and the error is handed back.
bool runCostWorkbook(AutomationError& error) {
  ExcelReferences excel{};

  // Start Excel.
  CLSID excelClass;
  HRESULT status = CLSIDFromProgID(L"Excel.Application", &excelClass);
  if (SUCCEEDED(status)) {
    status = CoCreateInstance(excelClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&excel.application));
  }
  if (FAILED(status)) {
    error = errorOf(status);
    return false;
  }
  bool ok = setBoolean(excel.application, L"Visible", true, error);

  // Open the cost workbook through the workbook collection.
  if (ok) {
    IDispatch* workbooks = nullptr;
    ok = getObject(excel.application, L"Workbooks", DISPATCH_PROPERTYGET, nullptr, workbooks, error);
    if (ok) {
      ok = getObject(workbooks, L"Open", DISPATCH_METHOD, kWorkbookPath, excel.workbook, error);
    }
    release(workbooks);
  }

  // Look up the sheet "ProData"; a workbook without it fails here, before the macro.
  if (ok) {
    IDispatch* sheets = nullptr;
    ok = getObject(excel.workbook, L"Sheets", DISPATCH_PROPERTYGET, nullptr, sheets, error);
    if (ok) {
      ok = getObject(sheets, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, L"ProData",
                     excel.sheet, error);
    }
    release(sheets);
  }

  // Run the macro "Main"; it has finished when the call returns.
  if (ok) {
    VARIANT macro;
    VariantInit(&macro);
    macro.vt = VT_BSTR;
    macro.bstrVal = SysAllocString(L"Main");
    VARIANT discarded;
    VariantInit(&discarded);
    ok = invokeMember(excel.application, L"Run", DISPATCH_METHOD, &macro, &discarded, error);
    VariantClear(&discarded);
    VariantClear(&macro);
  }

  // Tallowin closes the workbook without saving what the macro changed.
  if (ok && kClosesWorkbook) {
    VARIANT saveChanges;
    VariantInit(&saveChanges);
    saveChanges.vt = VT_BOOL;
    saveChanges.boolVal = VARIANT_FALSE;
    VARIANT discarded;
    VariantInit(&discarded);
    ok = invokeMember(excel.workbook, L"Close", DISPATCH_METHOD, &saveChanges, &discarded, error);
    VariantClear(&discarded);
  }

  // Hand Excel back.
  if (ok) ok = setBoolean(excel.application, L"UserControl", false, error);

  releaseAll(excel);
  return ok;
}

// The run-time error box: the error number as Visual Basic gives it (the code
// alone for an application-defined error, else the signed HRESULT with its hex
// form) and the error's text.
void showAutomationError(const AutomationError& error) {
  wchar_t number[64];
  if (HRESULT_FACILITY(error.code) == FACILITY_CONTROL) {
    std::swprintf(number, 64, L"%u", static_cast<unsigned>(HRESULT_CODE(error.code)));
  } else {
    std::swprintf(number, 64, L"%ld (%08lx)", static_cast<long>(error.code),
                  static_cast<unsigned long>(error.code));
  }
  const std::wstring message =
      std::wstring(L"Run-time error '") + number + L"':\n\n" + error.text;
  MessageBoxW(nullptr, message.c_str(), kLauncherName, MB_OK | MB_ICONERROR);
}

}  // namespace

// The launcher's window would be shown only after its load sequence, which ends
// the process first; so no window is created and the sequence runs at once.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const HRESULT status = CoInitialize(nullptr);
  if (FAILED(status)) {
    showAutomationError(errorOf(status));
    return 1;
  }
  AutomationError error{S_OK, std::wstring()};
  const bool ok = runCostWorkbook(error);
  CoUninitialize();
  if (!ok) {
    showAutomationError(error);
    return 1;
  }
  return 0;
}

#else  // the built-in cost workbook

#include <cstdio>
#include <string>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "launchers/cost_sheet.h"
#include "launchers/design_pricing.h"

namespace {

using namespace designopt;

constexpr const char* kLauncherName = LAUNCHER_NAME;
constexpr const char* kWorkbookPath = LAUNCHER_WORKBOOK_PATH;
constexpr bool kClosesWorkbook = LAUNCHER_CLOSES_WORKBOOK != 0;
constexpr const char* kExchangeFile = "outexcel.dat";
constexpr const char* kCostFile = "ProIn.dat";

// The built-in application: where its workbooks are, and the two settings the
// sequence makes.
struct StandInApplication {
  std::string directory;  // the launcher's own directory, holding the cost sheets
  bool visible;
  bool userControl;
};

// An opened workbook: the cost-sheet file behind it and, once "Main" has run,
// the priced design it shows.
struct StandInWorkbook {
  std::string file;  // path of the cost-sheet file
  std::string text;  // its contents
  Bill bill;         // set by "Main"
  bool open;
};

int fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kLauncherName, message.c_str());
  return 1;
}

// The directory that holds the running launcher (and so its cost sheets).
bool launcherDirectory(const char* argv0, std::string& directory) {
  std::string self;
#if defined(__linux__)
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    self.assign(buffer, static_cast<std::size_t>(length));
  }
#endif
  if (self.empty() && argv0 != nullptr) self = argv0;
  const std::size_t slash = self.rfind('/');
  if (slash == std::string::npos) return false;
  directory = self.substr(0, slash + 1);
  return true;
}

// Workbooks.Open: the fixed workbook path names one cost-sheet file beside the launcher.
bool openWorkbook(const StandInApplication& application, StandInWorkbook& workbook) {
  const char* fileName = costSheetFileName(kWorkbookPath);
  if (fileName == nullptr) {
    fail(std::string("cannot open the cost workbook ") + kWorkbookPath + ": no cost sheet stands in for it");
    return false;
  }
  workbook.file = application.directory + fileName;
  std::string problem;
  if (!readWorkbookFile(workbook.file, workbook.text, problem)) {
    fail(std::string("cannot open the cost workbook ") + kWorkbookPath + " (" + problem + ")");
    return false;
  }
  workbook.open = true;
  return true;
}

// Sheets("ProData"): the workbook must have that sheet, and its prices must be whole.
bool takeProDataSheet(const StandInWorkbook& workbook, CostSheet& sheet) {
  if (!hasProDataSheet(workbook.text.data(), workbook.text.size())) {
    fail(std::string("the cost workbook ") + kWorkbookPath + " (" + workbook.file +
         ") has no sheet \"ProData\"");
    return false;
  }
  std::string problem;
  if (!parseCostSheet(workbook.text.data(), workbook.text.size(), sheet, problem)) {
    fail("sheet \"ProData\" of " + workbook.file + ": " + problem);
    return false;
  }
  return true;
}

// Application.Run("Main"): prices the design in "outexcel.dat" of the working
// directory. The workbook that is closed afterwards hands the cost back in
// "ProIn.dat", written only once the whole design has been priced.
bool runMain(const CostSheet& sheet, StandInWorkbook& workbook) {
  std::string text;
  std::string problem;
  ExchangeDesign design{};
  if (!readWorkbookFile(kExchangeFile, text, problem)) {
    fail("macro \"Main\" cannot read the design: " + problem);
    return false;
  }
  if (!parseExchangeText(text.data(), text.size(), design, problem)) {
    fail(std::string("macro \"Main\" cannot read the design: ") + kExchangeFile + ": " + problem);
    return false;
  }
  if (!priceDesign(design, sheet, workbook.bill, problem)) {
    fail(std::string("macro \"Main\" cannot price the design in ") + kExchangeFile + ": " + problem);
    return false;
  }
  if (kClosesWorkbook && !writeCostFile(kCostFile, workbook.bill, problem)) {
    fail(std::string("macro \"Main\" cannot write the cost: ") + problem);
    return false;
  }
  return true;
}

// The load sequence over the built-in cost workbook.
int runCostWorkbook(const char* argv0) {
  // Start the application: it finds its workbooks beside the launcher.
  StandInApplication application{};
  if (!launcherDirectory(argv0, application.directory)) {
    return fail("cannot find the directory of the launcher, where its cost sheets are");
  }
  application.visible = true;

  // Open the cost workbook.
  StandInWorkbook workbook{};
  if (!openWorkbook(application, workbook)) return 1;

  // Look up the sheet "ProData"; a workbook without it fails here, before the macro.
  CostSheet sheet{};
  if (!takeProDataSheet(workbook, sheet)) return 1;

  // Run the macro "Main".
  if (!runMain(sheet, workbook)) return 1;

  // Tallowin closes the workbook without saving.
  if (kClosesWorkbook) workbook.open = false;

  // Hand the application back: a workbook left open is there for the designer to
  // read, and the console is where the built-in one shows its priced bill.
  application.userControl = false;
  if (workbook.open) {
    const std::string shown = formatBill(workbook.bill, kWorkbookPath);
    std::fputs(shown.c_str(), stdout);
    if (std::fflush(stdout) != 0) return fail("cannot show the bill of materials");
  }
  return 0;
}

}  // namespace

int main(int, char** argv) { return runCostWorkbook(argv[0]); }

#endif
