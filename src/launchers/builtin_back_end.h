// The launchers' back end over the built-in cost workbook, where Excel is not used.
// The application is the launcher itself: its workbooks are the cost-sheet files
// beside the launcher's executable, one per fixed workbook path. The macro "Main"
// prices the design in "outexcel.dat" of the working directory; the launcher that
// closes the workbook gets the cost in "ProIn.dat", written only once the design has
// been priced, while a workbook left open for the designer shows its priced bill of
// materials on the console when the application is handed over. A failing step keeps
// its message for reportFailure, which writes it to the standard error stream.
#pragma once

#include <string>

#include "costworkbook/cost_sheet.h"
#include "costworkbook/design_pricing.h"
#include "launchers/launcher_sequence.h"

namespace designopt {

class BuiltInBackEnd : public WorkbookBackEnd {
 public:
  // `launcherName` starts every message; `closesWorkbook` says whether the macro hands
  // the cost back in "ProIn.dat" (the workbook that is closed) or only shows it.
  BuiltInBackEnd(const char* launcherName, bool closesWorkbook);

  bool startApplication() override;
  bool setVisible(bool visible) override;
  // The built-in cost workbook is never written, so read-only changes nothing.
  bool openWorkbook(const char* path, bool readOnly) override;
  bool takeSheet(const char* name) override;
  bool runMacro(const char* name) override;
  bool closeWorkbookUnsaved() override;
  bool setUserControl(bool userControl) override;
  void releaseSheet() override {}
  void releaseWorkbook() override {}
  void releaseApplication() override {}

  // Writes the failure of the step that failed to the standard error stream.
  void reportFailure() const;

 private:
  bool fail(const std::string& message);

  const char* launcherName_;
  bool macroWritesCost_;
  std::string directory_;     // the launcher's own directory, with its cost sheets
  std::string workbookPath_;  // as opened
  std::string workbookFile_;  // the cost sheet standing in for it
  std::string workbookText_;  // its contents
  bool workbookOpen_ = false;
  CostSheet sheet_{};
  Bill bill_{};               // set by "Main"
  bool priced_ = false;
  std::string failure_;
};

}  // namespace designopt
