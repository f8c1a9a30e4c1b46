// The cost workbook launchers Prevada, Quorvel and Tallowin: one program built three
// times, each build naming itself with LAUNCHER_NAME; the launcher's workbook, whether
// it closes it and who controls the application afterwards come from its entry in
// kLaunchers. designopt starts a launcher by command name and waits; nothing but the
// exchange files and the workbook on the screen passes between them.
//
// The build chooses the cost workbook (LAUNCHER_USES_EXCEL):
//   1  Excel through its automation interface (Windows): a windowed program without a
//      console; an automation error is shown in a message box;
//   0  the built-in cost workbook: a console program that reports a failure on the
//      standard error stream.
// Either way the load sequence is the same, and a failure ends the launcher with
// status 1 and leaves "ProIn.dat" as it was. A launcher never falls back from one
// cost workbook to the other: the designer must know which prices they got.

#if !defined(LAUNCHER_NAME) || !defined(LAUNCHER_USES_EXCEL)
#error "each launcher build defines LAUNCHER_NAME and LAUNCHER_USES_EXCEL"
#endif

#include "launchers/launcher_sequence.h"

namespace {

constexpr int kThisLauncher = designopt::launcherIndex(LAUNCHER_NAME);
static_assert(kThisLauncher >= 0, "LAUNCHER_NAME is Prevada, Quorvel or Tallowin");

}  // namespace

#if LAUNCHER_USES_EXCEL

#include "launchers/excel_back_end.h"

#include <exception>

namespace {

// COM on the launcher's thread for the holder's lifetime.
class ComApartment {
 public:
  ComApartment() : status_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(status_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
};

// Runs the load sequence on Excel with the busy message filter registered. Returns
// false with the failure to show; by then every reference has been released, the
// filter revoked and the apartment left, also when an exception leaves the function.
bool runWithExcel(const designopt::LauncherSettings& launcher,
                  designopt::AutomationError& failure) {
  ComApartment apartment;
  if (FAILED(apartment.status())) {
    failure = designopt::automationErrorOf(L"prepare the automation interface", apartment.status());
    return false;
  }
  designopt::SystemRetryClock clock;
  designopt::StepDeadline deadline(clock);
  designopt::BusyExcelMessageFilter filter(deadline);
  designopt::MessageFilterRegistration registration(&filter);
  if (FAILED(registration.status())) {
    failure = designopt::automationErrorOf(L"register its message filter", registration.status());
    return false;
  }
  designopt::ExcelBackEnd excel(deadline);
  if (designopt::runLauncherSequence(launcher, excel)) return true;
  failure = excel.failure();
  return false;
}

}  // namespace

// The launcher's window would be shown only after its load sequence, which ends the
// process first; so no window is created and the sequence runs at once. The error box
// is shown once Excel has been let go, so that Excel does not wait on the box.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const designopt::LauncherSettings& launcher = designopt::kLaunchers[kThisLauncher];
  try {
    designopt::AutomationError failure{};
    if (runWithExcel(launcher, failure)) return 0;
    designopt::showAutomationError(launcher.name, failure);
  } catch (const std::exception&) {
    // Memory ran out; what was obtained has been released on the way out.
    MessageBoxA(nullptr, "Run-time error '7':\n\nOut of memory", launcher.name,
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
  }
  return 1;
}

#else

#include "launchers/builtin_back_end.h"

int main() {
  const designopt::LauncherSettings& launcher = designopt::kLaunchers[kThisLauncher];
  designopt::BuiltInBackEnd workbook(launcher.name, launcher.closesWorkbook);
  if (!designopt::runLauncherSequence(launcher, workbook)) {
    workbook.reportFailure();
    return 1;
  }
  return 0;
}

#endif
