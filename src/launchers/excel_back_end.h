// The launchers' back end over Excel's automation interface (Windows only): late-bound
// calls by member name with locale 1033 (US English) on "Excel.Application", its
// workbook collection, the opened workbook and its sheet. Every call is retried while
// Excel refuses it as busy (see busy_retry.h); the apartment's message filter that
// waits for Excel's "retry later" is registered by the launcher's entry while the
// sequence runs (BusyExcelMessageFilter).
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <ole2.h>

#include <string>

#include "launchers/busy_retry.h"
#include "launchers/launcher_sequence.h"

namespace designopt {

// The failure of one automation call: its error number and text.
struct AutomationError {
  HRESULT code;
  std::wstring text;
};

// The error number and the system's text for it.
AutomationError automationErrorOf(HRESULT code);

// Shows an automation error in a message box titled with the launcher's name. The box
// comes to the front and stays above Excel: the launcher has no window of its own and
// Excel has just been in front, so a plain box could open behind it while designopt
// waits for the launcher, and the session would look hung.
void showAutomationError(const char* launcherName, const AutomationError& error);

// Answers Excel's refusals of the launcher's calls for the whole apartment: a call that
// Excel asks to have repeated later is repeated after a pause, for as long as the busy
// wait limit allows. Registered with CoRegisterMessageFilter on the launcher's thread.
class BusyExcelMessageFilter : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }   // lives on the entry's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO interfaceInfo) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount,
                                            DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount,
                                         DWORD pendingType) override;
};

class ExcelBackEnd : public WorkbookBackEnd {
 public:
  ExcelBackEnd();

  bool startApplication() override;
  bool setVisible(bool visible) override;
  bool openWorkbook(const char* path) override;
  bool takeSheet(const char* name) override;
  bool runMacro(const char* name) override;
  bool closeWorkbookUnsaved() override;
  bool setUserControl(bool userControl) override;
  void releaseSheet() override;
  void releaseWorkbook() override;
  void releaseApplication() override;

  // The error of the step that failed.
  const AutomationError& failure() const { return failure_; }

 private:
  // Calls one member by name with at most one positional argument, retrying while
  // Excel is busy. A property set passes its value as the named argument
  // DISPID_PROPERTYPUT. On failure keeps the error and returns false.
  bool invoke(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argument,
              VARIANT* result);
  bool setBoolean(IDispatch* object, const wchar_t* property, bool value);
  // Calls a member that returns an object and keeps the reference in `object`.
  bool getObject(IDispatch* from, const wchar_t* member, WORD kind, const char* textArgument,
                 IDispatch*& object);
  bool fail(const AutomationError& error);

  IDispatch* application_;  // Excel.Application
  IDispatch* workbook_;     // the opened cost workbook
  IDispatch* sheet_;        // its sheet "ProData"
  AutomationError failure_;
};

}  // namespace designopt
