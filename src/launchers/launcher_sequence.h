// The load sequence shared by the three cost workbook launchers, written once over a
// small interface to the machinery that holds the cost workbook: Excel through its
// automation interface on Windows, or the built-in cost workbook. Keeping the steps
// in one place keeps their order, the per-launcher differences (which workbook,
// whether it is closed, who controls the application afterwards) and the release of
// what was obtained on a failure the same for both, and lets a recording back end
// check them on any platform.
#pragma once

namespace designopt {

// The fixed workbook paths the launchers open.
constexpr const char* kCurrentWorkbookPath = "C:\\zrk\\quva source\\QUVA2002.xls";
constexpr const char* kEarlierWorkbookPath = "C:\\zrk\\quva source\\QUVA2002_Old.xls";
// The sheet every cost workbook must have, and the macro that prices the design.
constexpr const char* kProDataSheetName = "ProData";
constexpr const char* kPricingMacroName = "Main";

// What makes one launcher differ from the other two.
struct LauncherSettings {
  const char* name;          // "Prevada", "Quorvel" or "Tallowin"; also its message-box title
  const char* workbookPath;  // the cost workbook it opens
  bool closesWorkbook;       // closes the workbook unsaved after the macro
  // Opens the workbook read-only. The pricing launcher never saves the workbook, and the
  // copy that Quorvel left open for the designer (or the designer's own) may still be
  // open in another Excel: opened for writing, Excel would ask whether to open it
  // read-only or be notified, and wait for an answer.
  bool opensReadOnly;
  // The application's UserControl when the launcher lets go of it. True keeps Excel
  // running with the workbook open for the designer once the last reference is
  // released; with False Excel quits then, which is right only when the workbook
  // has been closed.
  bool userControl;
};

// The three launchers. Prevada shows the requested design in the earlier workbook,
// Quorvel the optimum in the current one, both left open for the designer; Tallowin
// prices every candidate in the current workbook and closes it.
constexpr LauncherSettings kLaunchers[] = {
    {"Prevada", kEarlierWorkbookPath, false, false, true},
    {"Quorvel", kCurrentWorkbookPath, false, false, true},
    {"Tallowin", kCurrentWorkbookPath, true, true, false},
};

constexpr bool sameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// The place of the launcher with this name in kLaunchers, or -1 for another name.
// Usable at compile time, so that a launcher build with an unknown name does not compile.
constexpr int launcherIndex(const char* name) {
  for (int index = 0; index < static_cast<int>(sizeof kLaunchers / sizeof kLaunchers[0]); ++index) {
    if (sameName(kLaunchers[index].name, name)) return index;
  }
  return -1;
}

// The settings of the launcher with this name, or nullptr for another name.
inline const LauncherSettings* findLauncher(const char* name) {
  const int index = launcherIndex(name);
  return index < 0 ? nullptr : &kLaunchers[index];
}

// The machinery behind the sequence. Each step returns false when it failed, after
// keeping what went wrong for the back end's own report; a step that fails obtains
// nothing, so the sequence releases only the references that earlier steps handed it.
class WorkbookBackEnd {
 public:
  virtual ~WorkbookBackEnd() = default;

  // Starts the application and holds a reference to it.
  virtual bool startApplication() = 0;
  virtual bool setVisible(bool visible) = 0;
  // Opens the workbook (read-only when asked) through the application's workbook
  // collection and holds a reference to it; the collection is let go within the step.
  virtual bool openWorkbook(const char* path, bool readOnly) = 0;
  // Looks up the workbook's sheet by name and holds a reference to it; fails when the
  // workbook has no such sheet. The sheet collection is let go within the step.
  virtual bool takeSheet(const char* name) = 0;
  // Runs the macro; returns once it has finished.
  virtual bool runMacro(const char* name) = 0;
  // Closes the workbook without saving what the macro changed. The reference to it is
  // still held and released later.
  virtual bool closeWorkbookUnsaved() = 0;
  virtual bool setUserControl(bool userControl) = 0;

  virtual void releaseSheet() = 0;
  virtual void releaseWorkbook() = 0;
  virtual void releaseApplication() = 0;
};

// Runs the load sequence: start the application, make it visible, open the workbook
// (read-only when the launcher does), take its sheet "ProData", run "Main", close the
// workbook unsaved (when the launcher does), set UserControl, then release the sheet,
// the workbook and the application in that order. A failing step skips the later
// ones, except that the application is still left as on success: a workbook that the
// launcher closes is closed unsaved once it is open, whatever failed after the opening
// (so that no save prompt is left behind), and UserControl is set once the
// application has started. What was obtained is released in the same order and false
// is returned, for the caller to report the first failure and end the launcher with
// status 1.
bool runLauncherSequence(const LauncherSettings& launcher, WorkbookBackEnd& backEnd);

}  // namespace designopt
