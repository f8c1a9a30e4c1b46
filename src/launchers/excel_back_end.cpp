// The launchers' back end over Excel's automation interface.
#include "launchers/excel_back_end.h"

#include <oleauto.h>

#include <cstdint>
#include <cwchar>
#include <new>
#include <utility>

namespace designopt {

namespace {

constexpr LCID kUsEnglish = 1033;

static_assert(static_cast<std::uint32_t>(RPC_E_CALL_REJECTED) == kCallRejectedError,
              "the busy errors are those of the system's error header");
static_assert(static_cast<std::uint32_t>(RPC_E_SERVERCALL_RETRYLATER) == kRetryLaterError,
              "the busy errors are those of the system's error header");

std::wstring systemErrorText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  // The buffer is the system's; it is freed before a failing string copy can throw.
  std::wstring text;
  try {
    text = length > 0 ? std::wstring(buffer, length) : L"Automation error";
  } catch (...) {
    LocalFree(buffer);
    throw;
  }
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

std::wstring wideText(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// The bounded retry over a call that returns an HRESULT, its own result.
template <typename Call>
HRESULT retriedWhileBusy(const StepDeadline& deadline, Call&& call) {
  return static_cast<HRESULT>(
      callRetryingWhileBusy(deadline, [&]() { return static_cast<std::uint32_t>(call()); }));
}

// Whether Excel refused the step's calls or left one unanswered until the deadline.
bool isUnansweredError(HRESULT code) {
  return isBusyError(static_cast<std::uint32_t>(code)) || code == RPC_E_CALL_CANCELED;
}

// The strings of an EXCEPINFO, freed whatever happens to the call's error.
struct ExceptionInfo {
  EXCEPINFO info{};
  ExceptionInfo() = default;
  ~ExceptionInfo() { clear(); }
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  void clear() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
  }
};

}  // namespace

Variant Variant::boolean(bool value) {
  Variant variant;
  variant.value_.vt = VT_BOOL;
  variant.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return variant;
}

Variant Variant::text(const std::wstring& value) {
  Variant variant;
  variant.value_.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (variant.value_.bstrVal == nullptr) throw std::bad_alloc();
  variant.value_.vt = VT_BSTR;
  return variant;
}

AutomationError automationErrorOf(const std::wstring& step, HRESULT code) {
  return AutomationError{step, code, systemErrorText(code), std::wstring(), std::wstring(),
                         isUnansweredError(code)};
}

std::wstring automationErrorMessage(const char* launcherName, const AutomationError& error) {
  wchar_t number[64];
  if (HRESULT_FACILITY(error.code) == FACILITY_CONTROL) {
    std::swprintf(number, 64, L"%u", static_cast<unsigned>(HRESULT_CODE(error.code)));
  } else {
    std::swprintf(number, 64, L"%ld (%08lx)", static_cast<long>(error.code),
                  static_cast<unsigned long>(error.code));
  }
  std::wstring message = wideText(launcherName) + L" could not " + error.step + L".\n\n" +
                         L"Run-time error '" + number + L"':\n" + error.text;
  if (!error.source.empty() || !error.description.empty()) {
    message += L"\n\n" + (error.source.empty() ? std::wstring(L"Excel") : error.source) + L": " +
               error.description;
  }
  if (error.unanswered) {
    wchar_t note[128];
    std::swprintf(note, 128, L"\n\nExcel was busy or did not answer for %u s.",
                  static_cast<unsigned>(kStepTimeLimitMilliseconds / 1000));
    message += note;
  }
  return message;
}

void showAutomationError(const char* launcherName, const AutomationError& error) {
  const std::wstring message = automationErrorMessage(launcherName, error);
  MessageBoxW(nullptr, message.c_str(), wideText(launcherName).c_str(),
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

// COM's tick count is the time since the call was made; the step's deadline, which
// the bounded retry keeps too, is what limits the wait.
DWORD STDMETHODCALLTYPE BusyExcelMessageFilter::RetryRejectedCall(HTASK, DWORD, DWORD rejectType) {
  const long delay = messageFilterRetryDelay(rejectType == SERVERCALL_RETRYLATER, deadline_);
  return static_cast<DWORD>(delay);  // -1 becomes 0xFFFFFFFF: stop trying
}

// Messages that arrive while a call waits are handled the default way, so the
// launcher stays responsive to the system during a long macro; once the step's
// deadline has passed the call is cancelled.
DWORD STDMETHODCALLTYPE BusyExcelMessageFilter::MessagePending(HTASK, DWORD, DWORD) {
  return messageFilterCancelsCall(deadline_) ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
}

namespace {

// The heartbeat: an empty message for the thread whose calls wait; COM hands it to the
// message filter's MessagePending and then drops it (it has no window).
void CALLBACK postHeartbeat(void* thread, BOOLEAN) {
  PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(thread)), WM_NULL, 0, 0);
}

}  // namespace

MessageFilterRegistration::MessageFilterRegistration(IMessageFilter* filter) {
  IMessageFilter* previous = nullptr;
  status_ = CoRegisterMessageFilter(filter, &previous);
  previous_.adopt(previous);
  if (FAILED(status_)) return;
  void* thread = reinterpret_cast<void*>(static_cast<std::uintptr_t>(GetCurrentThreadId()));
  if (!CreateTimerQueueTimer(&heartbeat_, nullptr, postHeartbeat, thread,
                             kBusyRetryPauseMilliseconds, kBusyRetryPauseMilliseconds,
                             WT_EXECUTEDEFAULT)) {
    heartbeat_ = nullptr;
    status_ = HRESULT_FROM_WIN32(GetLastError());
    CoRegisterMessageFilter(previous_.get(), nullptr);
  }
}

MessageFilterRegistration::~MessageFilterRegistration() {
  // Waits for a heartbeat being posted, so none arrives after the registration.
  if (heartbeat_ != nullptr) DeleteTimerQueueTimer(nullptr, heartbeat_, INVALID_HANDLE_VALUE);
  if (SUCCEEDED(status_)) CoRegisterMessageFilter(previous_.get(), nullptr);
}

ExcelBackEnd::ExcelBackEnd(StepDeadline& deadline)
    : deadline_(deadline),
      failure_{std::wstring(), S_OK, std::wstring(), std::wstring(), std::wstring(), false} {}

void ExcelBackEnd::startStep(std::wstring step) {
  step_ = std::move(step);
  deadline_.startStep();
}

bool ExcelBackEnd::fail(HRESULT code, const EXCEPINFO* exception) {
  if (isUnansweredError(code)) unanswered_ = true;
  if (failed_) return false;  // the first failure is the one reported
  failed_ = true;
  failure_ = automationErrorOf(step_, code);
  if (exception != nullptr) {
    // Excel's own error: its code (when it gave one) and its words.
    if (exception->scode != 0) {
      failure_.code = exception->scode;
      failure_.text = systemErrorText(exception->scode);
    } else if (exception->wCode != 0) {
      failure_.code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception->wCode);
      failure_.text = systemErrorText(failure_.code);
    }
    if (exception->bstrSource != nullptr) failure_.source = exception->bstrSource;
    if (exception->bstrDescription != nullptr) failure_.description = exception->bstrDescription;
  }
  return false;
}

bool ExcelBackEnd::lookUp(ExcelObject& object, const std::vector<std::wstring>& names,
                          const std::vector<DISPID>*& ids) {
  for (const ExcelObject::KnownMember& known : object.known) {
    if (known.names == names) {
      ids = &known.ids;
      return true;
    }
  }
  std::vector<LPOLESTR> pointers;
  for (const std::wstring& name : names) pointers.push_back(const_cast<LPOLESTR>(name.c_str()));
  std::vector<DISPID> found(names.size(), DISPID_UNKNOWN);
  const HRESULT status = retriedWhileBusy(deadline_, [&]() {
    return object.dispatch->GetIDsOfNames(IID_NULL, pointers.data(),
                                          static_cast<UINT>(pointers.size()), kUsEnglish,
                                          found.data());
  });
  if (FAILED(status)) return fail(status);
  object.known.push_back(ExcelObject::KnownMember{names, std::move(found)});
  ids = &object.known.back().ids;
  return true;
}

bool ExcelBackEnd::call(ExcelObject& object, const wchar_t* member, WORD kind,
                        std::initializer_list<Argument> arguments, Variant* result) {
  if (unanswered_) return fail(RPC_E_CALL_CANCELED);  // Excel is not answering: not tried
  if (!object.dispatch) return fail(E_POINTER);
  std::vector<std::wstring> names{member};
  for (const Argument& argument : arguments) {
    if (argument.name != nullptr) names.emplace_back(argument.name);
  }
  const std::vector<DISPID>* ids = nullptr;
  if (!lookUp(object, names, ids)) return false;

  // rgvarg holds the named arguments first, in the order of their identifiers in
  // rgdispidNamedArgs, then the positional ones last to first. The values are the
  // caller's, not copies: only the caller's variants own them.
  std::vector<VARIANTARG> values;
  std::vector<DISPID> namedIds;
  std::size_t nameIndex = 1;
  for (const Argument& argument : arguments) {
    if (argument.name == nullptr) continue;
    values.push_back(argument.value->value());
    namedIds.push_back((*ids)[nameIndex++]);
  }
  std::vector<const Variant*> positional;
  for (const Argument& argument : arguments) {
    if (argument.name == nullptr) positional.push_back(argument.value);
  }
  for (auto at = positional.rbegin(); at != positional.rend(); ++at) {
    values.push_back((*at)->value());
  }
  if (kind == DISPATCH_PROPERTYPUT) namedIds.push_back(DISPID_PROPERTYPUT);
  DISPPARAMS parameters{};
  parameters.rgvarg = values.empty() ? nullptr : values.data();
  parameters.cArgs = static_cast<UINT>(values.size());
  parameters.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
  parameters.cNamedArgs = static_cast<UINT>(namedIds.size());

  // Only Invoke's own result decides a retry: DISP_E_EXCEPTION says the call ran.
  ExceptionInfo exception;
  const HRESULT status = retriedWhileBusy(deadline_, [&]() {
    exception.clear();
    if (result != nullptr) result->clear();
    UINT argumentError = 0;
    return object.dispatch->Invoke((*ids)[0], IID_NULL, kUsEnglish, kind, &parameters,
                                   result != nullptr ? result->get() : nullptr, &exception.info,
                                   &argumentError);
  });
  if (status == DISP_E_EXCEPTION) {
    if (exception.info.pfnDeferredFillIn != nullptr) {
      exception.info.pfnDeferredFillIn(&exception.info);
    }
    return fail(status, &exception.info);
  }
  if (FAILED(status)) return fail(status);
  return true;
}

bool ExcelBackEnd::setBoolean(ExcelObject& object, const wchar_t* property, bool value) {
  const Variant argument = Variant::boolean(value);
  return call(object, property, DISPATCH_PROPERTYPUT, {{nullptr, &argument}}, nullptr);
}

bool ExcelBackEnd::getObject(ExcelObject& from, const wchar_t* member, WORD kind,
                             std::initializer_list<Argument> arguments, ExcelObject& object) {
  Variant result;
  if (!call(from, member, kind, arguments, &result)) return false;
  if (result.value().vt != VT_DISPATCH || result.value().pdispVal == nullptr) {
    return fail(E_NOINTERFACE);
  }
  // The variant's reference becomes the object's.
  object.dispatch.adopt(result.get()->pdispVal);
  result.get()->vt = VT_EMPTY;
  object.known.clear();
  return true;
}

// Excel is started once: its class object is asked for the application, again while
// it refuses as busy. Creating the object anew at each try would start another Excel
// each time, and leave the refused ones running.
bool ExcelBackEnd::startApplication() {
  startStep(L"start Excel (\"Excel.Application\")");
  CLSID excelClass;
  HRESULT status = CLSIDFromProgID(L"Excel.Application", &excelClass);
  if (FAILED(status)) return fail(status);
  ComRef<IClassFactory> factory;
  status = CoGetClassObject(excelClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                            factory.out());
  if (FAILED(status)) return fail(status);
  status = retriedWhileBusy(deadline_, [&]() {
    return factory->CreateInstance(nullptr, IID_IDispatch, application_.dispatch.out());
  });
  if (FAILED(status)) {
    application_.dispatch.reset();
    return fail(status);
  }
  return true;
}

bool ExcelBackEnd::setVisible(bool visible) {
  startStep(L"make Excel visible");
  return setBoolean(application_, L"Visible", visible);
}

// The read-only open passes ReadOnly by name, as Excel's documentation shows it; the
// other launchers pass the file name alone.
bool ExcelBackEnd::openWorkbook(const char* path, bool readOnly) {
  workbookPath_ = wideText(path);
  startStep(L"open the workbook \"" + workbookPath_ + L"\"" + (readOnly ? L" read-only" : L""));
  ExcelObject workbooks;
  if (!getObject(application_, L"Workbooks", DISPATCH_PROPERTYGET, {}, workbooks)) return false;
  const Variant fileName = Variant::text(workbookPath_);
  const Variant readOnlyValue = Variant::boolean(true);
  if (readOnly) {
    return getObject(workbooks, L"Open", DISPATCH_METHOD,
                     {{nullptr, &fileName}, {L"ReadOnly", &readOnlyValue}}, workbook_);
  }
  return getObject(workbooks, L"Open", DISPATCH_METHOD, {{nullptr, &fileName}}, workbook_);
}

bool ExcelBackEnd::takeSheet(const char* name) {
  const std::wstring sheetName = wideText(name);
  startStep(L"find the sheet \"" + sheetName + L"\" in the workbook \"" + workbookPath_ + L"\"");
  ExcelObject sheets;
  if (!getObject(workbook_, L"Sheets", DISPATCH_PROPERTYGET, {}, sheets)) return false;
  const Variant index = Variant::text(sheetName);
  return getObject(sheets, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {{nullptr, &index}},
                   sheet_);
}

// Application.Run returns when the macro has finished; its result is discarded.
bool ExcelBackEnd::runMacro(const char* name) {
  const std::wstring macroName = wideText(name);
  startStep(L"run the macro \"" + macroName + L"\" of the workbook \"" + workbookPath_ + L"\"");
  const Variant macro = Variant::text(macroName);
  Variant discarded;
  return call(application_, L"Run", DISPATCH_METHOD, {{nullptr, &macro}}, &discarded);
}

bool ExcelBackEnd::closeWorkbookUnsaved() {
  startStep(L"close the workbook \"" + workbookPath_ + L"\" without saving");
  const Variant saveChanges = Variant::boolean(false);
  Variant discarded;
  return call(workbook_, L"Close", DISPATCH_METHOD, {{nullptr, &saveChanges}}, &discarded);
}

bool ExcelBackEnd::setUserControl(bool userControl) {
  startStep(std::wstring(L"hand Excel over (UserControl ") + (userControl ? L"True" : L"False") +
            L")");
  return setBoolean(application_, L"UserControl", userControl);
}

// Releasing a reference is a call into Excel too; once Excel stopped answering it is
// not waited for.
void ExcelBackEnd::release(ExcelObject& object) {
  if (unanswered_) {
    deadline_.expire();
  } else {
    deadline_.startStep();
  }
  object.dispatch.reset();
  object.known.clear();
}

void ExcelBackEnd::releaseSheet() { release(sheet_); }
void ExcelBackEnd::releaseWorkbook() { release(workbook_); }
void ExcelBackEnd::releaseApplication() { release(application_); }

}  // namespace designopt
