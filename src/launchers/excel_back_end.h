// The launchers' back end over Excel's automation interface (Windows only): late-bound
// calls by member name with locale 1033 (US English) on "Excel.Application", its
// workbook collection, the opened workbook and its sheet.
//
// Every step of the sequence has one deadline (busy_retry.h): a call that Excel refuses
// as busy is tried again, and the apartment's message filter (BusyExcelMessageFilter,
// registered by the launcher's entry while the sequence runs) waits for Excel's "retry
// later" and cancels a call that Excel has not answered, all by that deadline. Only a
// call's own result decides a retry: a call that ran and raised an error is never made
// again. Excel is started once: a refused creation is asked again of the same Excel.
//
// Each interface pointer, variant and string lives in a small owner (ComRef, Variant,
// Bstr), so an exception (memory running out while an error text is built) cannot skip
// a release. Each member's identifier is looked up once per object.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <ole2.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "launchers/busy_retry.h"
#include "launchers/launcher_sequence.h"

namespace designopt {

// Owns one reference to a COM interface and releases it when dropped.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = other.pointer_;
      other.pointer_ = nullptr;
    }
    return *this;
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // Drops the reference held and hands out the place for a call to fill in.
  void** out() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  // Takes over a reference that the caller owned.
  void adopt(Interface* pointer) {
    reset();
    pointer_ = pointer;
  }
  void reset() {
    Interface* pointer = pointer_;
    pointer_ = nullptr;
    if (pointer != nullptr) pointer->Release();
  }

 private:
  Interface* pointer_ = nullptr;
};

// A VARIANT that clears itself (releasing the string or object it holds).
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  static Variant boolean(bool value);
  // Throws std::bad_alloc when the string cannot be allocated.
  static Variant text(const std::wstring& value);
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

  VARIANT* get() { return &value_; }
  const VARIANT& value() const { return value_; }
  void clear() { VariantClear(&value_); }

 private:
  VARIANT value_;
};

// A BSTR that frees itself.
class Bstr {
 public:
  Bstr() = default;
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  std::wstring text() const { return text_ != nullptr ? std::wstring(text_) : std::wstring(); }

 private:
  BSTR text_ = nullptr;
};

// The failure of one step: what the launcher was doing, and the call's error number,
// the system's text for it and, when Excel raised the error, its source and
// description.
struct AutomationError {
  std::wstring step;  // "open the workbook \"C:\\...\\QUVA2002.xls\"", ...
  HRESULT code;
  std::wstring text;
  std::wstring source;
  std::wstring description;
  bool unanswered;  // Excel refused the step's calls, or left one unanswered, until the deadline
};

// The error number and the system's text for it, for the step named.
AutomationError automationErrorOf(const std::wstring& step, HRESULT code);

// The error box's text: what the launcher could not do, the error number (the code
// alone for an error the application defined, else the code as a signed number with its
// eight hexadecimal digits in brackets) and text, then the application's source and
// description when it gave them, and a note when Excel was busy or did not answer.
std::wstring automationErrorMessage(const char* launcherName, const AutomationError& error);

// Shows an automation error in a message box titled with the launcher's name. The box
// comes to the front and stays above Excel: the launcher has no window of its own and
// Excel has just been in front, so a plain box could open behind it while designopt
// waits for the launcher, and the session would look hung.
void showAutomationError(const char* launcherName, const AutomationError& error);

// The waits' clock: the system's tick count and a plain sleep. While the launcher
// sleeps Excel gets on with what kept it busy.
class SystemRetryClock : public RetryClock {
 public:
  std::uint64_t nowMilliseconds() override { return GetTickCount64(); }
  void sleepMilliseconds(std::uint32_t milliseconds) override { Sleep(milliseconds); }
};

// Answers Excel's refusals of the launcher's calls for the whole apartment, by the
// deadline of the step being run: a call that Excel asks to have repeated later is
// repeated after a pause, and a call that Excel has not answered is cancelled once the
// deadline has passed. COM asks the filter about a waiting call when a message is
// posted to the thread (a timer's WM_TIMER does not wake COM's wait under Wine), so a
// heartbeat posts one at every pause while the filter is registered.
class BusyExcelMessageFilter : public IMessageFilter {
 public:
  explicit BusyExcelMessageFilter(const StepDeadline& deadline) : deadline_(deadline) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }   // lives on the entry's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO interfaceInfo) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount,
                                            DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount,
                                         DWORD pendingType) override;

 private:
  const StepDeadline& deadline_;
};

// Registers the filter on the calling thread's apartment for its lifetime, with the
// heartbeat that wakes the filter while a call waits; restores the previous filter
// after.
class MessageFilterRegistration {
 public:
  explicit MessageFilterRegistration(IMessageFilter* filter);
  ~MessageFilterRegistration();
  MessageFilterRegistration(const MessageFilterRegistration&) = delete;
  MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;
  // The result of the registration; the launcher does not run without its filter.
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
  ComRef<IMessageFilter> previous_;
  HANDLE heartbeat_ = nullptr;  // a timer-queue timer posting to the registering thread
};

class ExcelBackEnd : public WorkbookBackEnd {
 public:
  explicit ExcelBackEnd(StepDeadline& deadline);

  bool startApplication() override;
  bool setVisible(bool visible) override;
  bool openWorkbook(const char* path, bool readOnly) override;
  bool takeSheet(const char* name) override;
  bool runMacro(const char* name) override;
  bool closeWorkbookUnsaved() override;
  bool setUserControl(bool userControl) override;
  void releaseSheet() override;
  void releaseWorkbook() override;
  void releaseApplication() override;

  // The error of the first step that failed.
  const AutomationError& failure() const { return failure_; }

 private:
  // One of Excel's objects with the identifiers of the members called on it, each
  // looked up once (with the names of the named arguments passed to it).
  struct ExcelObject {
    struct KnownMember {
      std::vector<std::wstring> names;  // the member, then its named arguments
      std::vector<DISPID> ids;
    };
    ComRef<IDispatch> dispatch;
    std::vector<KnownMember> known;
  };
  // One argument of a call: positional when `name` is null.
  struct Argument {
    const wchar_t* name;
    const Variant* value;
  };

  // Starts a step: its deadline, and its description for the error box.
  void startStep(std::wstring step);
  // Calls one member of `object`, retrying while Excel refuses it as busy. A property
  // set passes its value as the named argument DISPID_PROPERTYPUT. On failure keeps the
  // error (the first only) and returns false.
  bool call(ExcelObject& object, const wchar_t* member, WORD kind,
            std::initializer_list<Argument> arguments, Variant* result);
  bool lookUp(ExcelObject& object, const std::vector<std::wstring>& names,
              const std::vector<DISPID>*& ids);
  bool setBoolean(ExcelObject& object, const wchar_t* property, bool value);
  // Calls a member that returns an object and keeps it in `object`.
  bool getObject(ExcelObject& from, const wchar_t* member, WORD kind,
                 std::initializer_list<Argument> arguments, ExcelObject& object);
  bool fail(HRESULT code, const EXCEPINFO* exception = nullptr);
  void release(ExcelObject& object);

  StepDeadline& deadline_;
  std::wstring step_;          // the step being run, for the error box
  std::wstring workbookPath_;  // as opened
  // Set once Excel did not answer within a step's time: later calls are not made and
  // the releases do not wait for it.
  bool unanswered_ = false;
  bool failed_ = false;
  AutomationError failure_;
  ExcelObject application_;  // Excel.Application
  ExcelObject workbook_;     // the opened cost workbook
  ExcelObject sheet_;        // its sheet "ProData"
};

}  // namespace designopt
