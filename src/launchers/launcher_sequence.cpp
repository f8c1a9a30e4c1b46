// The launchers' load sequence over either back end.
#include "launchers/launcher_sequence.h"

namespace designopt {

namespace {

// The references the sequence has been handed so far, and the steps that leave the
// application as the launcher hands it over, once tried.
struct HeldReferences {
  bool application;
  bool workbook;
  bool sheet;
  bool closeTried;
  bool handOverTried;
};

void releaseHeld(WorkbookBackEnd& backEnd, const HeldReferences& held) {
  if (held.sheet) backEnd.releaseSheet();
  if (held.workbook) backEnd.releaseWorkbook();
  if (held.application) backEnd.releaseApplication();
}

// The steps up to and including the hand-back; `held` records each reference as it is
// obtained, so that the caller releases exactly those.
bool runSteps(const LauncherSettings& launcher, WorkbookBackEnd& backEnd, HeldReferences& held) {
  // Start the application and show it.
  if (!backEnd.startApplication()) return false;
  held.application = true;
  if (!backEnd.setVisible(true)) return false;

  // Open the cost workbook.
  if (!backEnd.openWorkbook(launcher.workbookPath, launcher.opensReadOnly)) return false;
  held.workbook = true;

  // Look up the sheet "ProData"; a workbook without it fails here, before the macro.
  if (!backEnd.takeSheet(kProDataSheetName)) return false;
  held.sheet = true;

  // Price the design in "outexcel.dat".
  if (!backEnd.runMacro(kPricingMacroName)) return false;

  // The pricing launcher closes the workbook without saving what the macro changed.
  if (launcher.closesWorkbook) {
    held.closeTried = true;
    if (!backEnd.closeWorkbookUnsaved()) return false;
  }

  // Hand the application over: kept for the designer, or to quit once released.
  held.handOverTried = true;
  return backEnd.setUserControl(launcher.userControl);
}

// After a failing step: the workbook that the launcher closes is closed unsaved, and
// the application is handed over, as on success; their own failures are not reported
// over the first one.
void finishAfterFailure(const LauncherSettings& launcher, WorkbookBackEnd& backEnd,
                        const HeldReferences& held) {
  if (launcher.closesWorkbook && held.workbook && !held.closeTried) backEnd.closeWorkbookUnsaved();
  if (held.application && !held.handOverTried) backEnd.setUserControl(launcher.userControl);
}

}  // namespace

bool runLauncherSequence(const LauncherSettings& launcher, WorkbookBackEnd& backEnd) {
  HeldReferences held{false, false, false, false, false};
  const bool ok = runSteps(launcher, backEnd, held);
  if (!ok) finishAfterFailure(launcher, backEnd, held);
  releaseHeld(backEnd, held);
  return ok;
}

}  // namespace designopt
