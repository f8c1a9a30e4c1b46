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

// The launcher's window would be shown only after its load sequence, which ends the
// process first; so no window is created and the sequence runs at once. The message
// filter waits for a busy Excel on this thread's apartment while the sequence runs.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const designopt::LauncherSettings& launcher = designopt::kLaunchers[kThisLauncher];
  const HRESULT status = CoInitialize(nullptr);
  if (FAILED(status)) {
    designopt::showAutomationError(launcher.name, designopt::automationErrorOf(status));
    return 1;
  }
  designopt::BusyExcelMessageFilter filter;
  IMessageFilter* previousFilter = nullptr;
  CoRegisterMessageFilter(&filter, &previousFilter);

  designopt::ExcelBackEnd excel;
  const bool ok = designopt::runLauncherSequence(launcher, excel);

  CoRegisterMessageFilter(previousFilter, nullptr);
  CoUninitialize();
  if (!ok) {
    designopt::showAutomationError(launcher.name, excel.failure());
    return 1;
  }
  return 0;
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
