// The launchers' back end over Excel's automation interface.
#include "launchers/excel_back_end.h"

#include <oleauto.h>

#include <cwchar>

namespace designopt {

namespace {

constexpr LCID kUsEnglish = 1033;

static_assert(static_cast<std::uint32_t>(RPC_E_CALL_REJECTED) == kCallRejectedError,
              "the busy errors are those of the system's error header");
static_assert(static_cast<std::uint32_t>(RPC_E_SERVERCALL_RETRYLATER) == kRetryLaterError,
              "the busy errors are those of the system's error header");

// The bounded retry's clock: the system's tick count and a plain sleep. While the
// launcher sleeps Excel gets on with what kept it busy.
class SystemRetryClock : public RetryClock {
 public:
  std::uint64_t nowMilliseconds() override { return GetTickCount64(); }
  void sleepMilliseconds(std::uint32_t milliseconds) override { Sleep(milliseconds); }
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

// Takes the error Excel raised inside a call apart and frees what it allocated.
AutomationError errorOfException(EXCEPINFO& exception) {
  if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  const HRESULT code = exception.scode != 0 ? exception.scode
                                            : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL,
                                                           exception.wCode);
  AutomationError error = automationErrorOf(code);
  if (exception.bstrDescription != nullptr && exception.bstrDescription[0] != L'\0') {
    error.text = exception.bstrDescription;
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return error;
}

// One try of a late-bound call: looks the member up and invokes it. Returns the call's
// error code (that of the exception when Excel raised one) and, on failure, the error.
HRESULT invokeOnce(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argument,
                   VARIANT* result, AutomationError& error) {
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(member);
  HRESULT status = object->GetIDsOfNames(IID_NULL, &name, 1, kUsEnglish, &id);
  if (FAILED(status)) {
    error = automationErrorOf(status);
    return status;
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
    return error.code;
  }
  if (FAILED(status)) error = automationErrorOf(status);
  return status;
}

// A text argument as the automation interface takes it; empty on failure to allocate.
bool textVariant(const char* text, VARIANT& variant) {
  VariantInit(&variant);
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(wide.c_str());
  return variant.bstrVal != nullptr;
}

void release(IDispatch*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

AutomationError automationErrorOf(HRESULT code) {
  return AutomationError{code, systemErrorText(code)};
}

// The error box: the error number (the code alone for an error the application
// defined, else the code as a signed number with its eight hexadecimal digits in
// brackets) under the heading "Run-time error", then the error's text.
void showAutomationError(const char* launcherName, const AutomationError& error) {
  wchar_t number[64];
  if (HRESULT_FACILITY(error.code) == FACILITY_CONTROL) {
    std::swprintf(number, 64, L"%u", static_cast<unsigned>(HRESULT_CODE(error.code)));
  } else {
    std::swprintf(number, 64, L"%ld (%08lx)", static_cast<long>(error.code),
                  static_cast<unsigned long>(error.code));
  }
  const std::wstring message = std::wstring(L"Run-time error '") + number + L"':\n\n" + error.text;
  wchar_t title[64];
  std::swprintf(title, 64, L"%hs", launcherName);
  MessageBoxW(nullptr, message.c_str(), title,
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

HRESULT STDMETHODCALLTYPE BusyExcelMessageFilter::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
    *object = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The launcher serves no calls of its own; any that arrives is let through.
DWORD STDMETHODCALLTYPE BusyExcelMessageFilter::HandleInComingCall(DWORD, HTASK, DWORD,
                                                                   LPINTERFACEINFO) {
  return SERVERCALL_ISHANDLED;
}

DWORD STDMETHODCALLTYPE BusyExcelMessageFilter::RetryRejectedCall(HTASK, DWORD tickCount,
                                                                  DWORD rejectType) {
  const long delay = messageFilterRetryDelay(rejectType == SERVERCALL_RETRYLATER, tickCount);
  return static_cast<DWORD>(delay);  // -1 becomes 0xFFFFFFFF: stop trying
}

// Messages that arrive while a call waits are handled the default way, so the
// launcher stays responsive to the system during a long macro.
DWORD STDMETHODCALLTYPE BusyExcelMessageFilter::MessagePending(HTASK, DWORD, DWORD) {
  return PENDINGMSG_WAITDEFPROCESS;
}

ExcelBackEnd::ExcelBackEnd()
    : application_(nullptr), workbook_(nullptr), sheet_(nullptr), failure_{S_OK, std::wstring()} {}

bool ExcelBackEnd::fail(const AutomationError& error) {
  failure_ = error;
  return false;
}

bool ExcelBackEnd::invoke(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argument,
                          VARIANT* result) {
  SystemRetryClock clock;
  AutomationError error{S_OK, std::wstring()};
  const std::uint32_t code = callRetryingWhileBusy(clock, [&]() -> std::uint32_t {
    if (result != nullptr) VariantClear(result);
    return static_cast<std::uint32_t>(invokeOnce(object, member, kind, argument, result, error));
  });
  if (FAILED(static_cast<HRESULT>(code))) return fail(error);
  return true;
}

bool ExcelBackEnd::setBoolean(IDispatch* object, const wchar_t* property, bool value) {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BOOL;
  argument.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return invoke(object, property, DISPATCH_PROPERTYPUT, &argument, nullptr);
}

bool ExcelBackEnd::getObject(IDispatch* from, const wchar_t* member, WORD kind,
                             const char* textArgument, IDispatch*& object) {
  VARIANT argument;
  VariantInit(&argument);
  if (textArgument != nullptr && !textVariant(textArgument, argument)) {
    return fail(automationErrorOf(E_OUTOFMEMORY));
  }
  VARIANT result;
  VariantInit(&result);
  const bool called = invoke(from, member, kind, textArgument != nullptr ? &argument : nullptr,
                             &result);
  VariantClear(&argument);
  if (!called) return false;
  if (result.vt != VT_DISPATCH || result.pdispVal == nullptr) {
    VariantClear(&result);
    return fail(AutomationError{E_NOINTERFACE, std::wstring(member) + L" did not return an object"});
  }
  object = result.pdispVal;  // the variant's reference becomes ours
  return true;
}

// Starting Excel is retried like every call: an Excel that is still starting for
// another launcher can refuse the request to create another application object.
bool ExcelBackEnd::startApplication() {
  CLSID excelClass;
  HRESULT status = CLSIDFromProgID(L"Excel.Application", &excelClass);
  if (FAILED(status)) return fail(automationErrorOf(status));
  SystemRetryClock clock;
  status = static_cast<HRESULT>(callRetryingWhileBusy(clock, [&]() -> std::uint32_t {
    return static_cast<std::uint32_t>(
        CoCreateInstance(excelClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                         reinterpret_cast<void**>(&application_)));
  }));
  if (FAILED(status)) {
    application_ = nullptr;
    return fail(automationErrorOf(status));
  }
  return true;
}

bool ExcelBackEnd::setVisible(bool visible) { return setBoolean(application_, L"Visible", visible); }

bool ExcelBackEnd::openWorkbook(const char* path) {
  IDispatch* workbooks = nullptr;
  if (!getObject(application_, L"Workbooks", DISPATCH_PROPERTYGET, nullptr, workbooks)) return false;
  const bool opened = getObject(workbooks, L"Open", DISPATCH_METHOD, path, workbook_);
  release(workbooks);
  return opened;
}

bool ExcelBackEnd::takeSheet(const char* name) {
  IDispatch* sheets = nullptr;
  if (!getObject(workbook_, L"Sheets", DISPATCH_PROPERTYGET, nullptr, sheets)) return false;
  const bool taken =
      getObject(sheets, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, name, sheet_);
  release(sheets);
  return taken;
}

// Application.Run returns when the macro has finished; its result is discarded.
bool ExcelBackEnd::runMacro(const char* name) {
  VARIANT macro;
  if (!textVariant(name, macro)) return fail(automationErrorOf(E_OUTOFMEMORY));
  VARIANT discarded;
  VariantInit(&discarded);
  const bool ran = invoke(application_, L"Run", DISPATCH_METHOD, &macro, &discarded);
  VariantClear(&discarded);
  VariantClear(&macro);
  return ran;
}

bool ExcelBackEnd::closeWorkbookUnsaved() {
  VARIANT saveChanges;
  VariantInit(&saveChanges);
  saveChanges.vt = VT_BOOL;
  saveChanges.boolVal = VARIANT_FALSE;
  VARIANT discarded;
  VariantInit(&discarded);
  const bool closed = invoke(workbook_, L"Close", DISPATCH_METHOD, &saveChanges, &discarded);
  VariantClear(&discarded);
  return closed;
}

bool ExcelBackEnd::setUserControl(bool userControl) {
  return setBoolean(application_, L"UserControl", userControl);
}

void ExcelBackEnd::releaseSheet() { release(sheet_); }
void ExcelBackEnd::releaseWorkbook() { release(workbook_); }
void ExcelBackEnd::releaseApplication() { release(application_); }

}  // namespace designopt
