// The launchers' load sequence over a recording back end: the calls each launcher
// makes, in order, and how the application is left and what is released when any step
// fails.
#include "launchers/launcher_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace designopt {
namespace {

// Records every call as one line and fails the call whose line starts with `failing`.
class RecordingBackEnd : public WorkbookBackEnd {
 public:
  explicit RecordingBackEnd(std::string failing = std::string()) : failing_(std::move(failing)) {}

  bool startApplication() override { return step("start application"); }
  bool setVisible(bool visible) override { return step(std::string("Visible ") + text(visible)); }
  bool openWorkbook(const char* path, bool readOnly) override {
    return step(std::string("open ") + path + (readOnly ? " read-only" : ""));
  }
  bool takeSheet(const char* name) override { return step(std::string("sheet ") + name); }
  bool runMacro(const char* name) override { return step(std::string("run ") + name); }
  bool closeWorkbookUnsaved() override { return step("close unsaved"); }
  bool setUserControl(bool userControl) override {
    return step(std::string("UserControl ") + text(userControl));
  }
  void releaseSheet() override { calls.push_back("release sheet"); }
  void releaseWorkbook() override { calls.push_back("release workbook"); }
  void releaseApplication() override { calls.push_back("release application"); }

  std::vector<std::string> calls;

 private:
  static const char* text(bool value) { return value ? "True" : "False"; }
  bool step(const std::string& call) {
    calls.push_back(call);
    return failing_.empty() || call.rfind(failing_, 0) != 0;
  }
  std::string failing_;
};

const std::string kOpenCurrent = std::string("open ") + kCurrentWorkbookPath;
const std::string kOpenCurrentReadOnly = kOpenCurrent + " read-only";
const std::string kOpenEarlier = std::string("open ") + kEarlierWorkbookPath;

TEST(LauncherSequence, EachLauncherRunsItsStepsInOrderAndReleasesSheetWorkbookApplication) {
  const struct {
    const char* launcher;
    std::vector<std::string> calls;
  } cases[] = {
      {"Prevada",
       {"start application", "Visible True", kOpenEarlier, "sheet ProData", "run Main",
        "UserControl True", "release sheet", "release workbook", "release application"}},
      {"Quorvel",
       {"start application", "Visible True", kOpenCurrent, "sheet ProData", "run Main",
        "UserControl True", "release sheet", "release workbook", "release application"}},
      {"Tallowin",
       {"start application", "Visible True", kOpenCurrentReadOnly, "sheet ProData", "run Main",
        "close unsaved", "UserControl False", "release sheet", "release workbook",
        "release application"}},
  };
  for (const auto& c : cases) {
    const LauncherSettings* launcher = findLauncher(c.launcher);
    ASSERT_NE(launcher, nullptr) << c.launcher;
    RecordingBackEnd backEnd;
    EXPECT_TRUE(runLauncherSequence(*launcher, backEnd)) << c.launcher;
    EXPECT_EQ(backEnd.calls, c.calls) << c.launcher;
  }
  EXPECT_EQ(findLauncher("Excel"), nullptr);
}

// A failing step skips the later ones, except that the application is left as on
// success: Tallowin closes its workbook unsaved on every path once it is open, and
// every launcher sets UserControl once the application has started. The references
// obtained so far are released, sheet before workbook before application, and
// nothing else.
TEST(LauncherSequence, AFailingStepLeavesTheApplicationAsOnSuccessAndReleasesWhatWasObtained) {
  const std::vector<std::string> kTallowinSteps = {"start application", "Visible True",
                                                   kOpenCurrentReadOnly, "sheet ProData",
                                                   "run Main",          "close unsaved",
                                                   "UserControl False"};
  const std::vector<std::string> kAllReleased = {"release sheet", "release workbook",
                                                 "release application"};
  const struct {
    const char* launcher;
    const char* failing;
    std::size_t stepsMade;  // the failing step included
    std::vector<std::string> after;  // what follows the failing step
  } cases[] = {
      {"Tallowin", "start application", 1, {}},
      {"Tallowin", "Visible", 2, {"UserControl False", "release application"}},
      {"Tallowin", "open", 3, {"UserControl False", "release application"}},
      {"Tallowin", "sheet", 4,
       {"close unsaved", "UserControl False", "release workbook", "release application"}},
      {"Tallowin", "run", 5,
       {"close unsaved", "UserControl False", "release sheet", "release workbook",
        "release application"}},
      // A close that failed is not tried again.
      {"Tallowin", "close", 6, {"UserControl False", "release sheet", "release workbook",
                                "release application"}},
      {"Tallowin", "UserControl", 7, kAllReleased},
      {"Quorvel", "run", 5, {"UserControl True", "release sheet", "release workbook",
                             "release application"}},
      {"Prevada", "open", 3, {"UserControl True", "release application"}},
      {"Prevada", "UserControl", 6, kAllReleased},
  };
  for (const auto& c : cases) {
    RecordingBackEnd backEnd(c.failing);
    EXPECT_FALSE(runLauncherSequence(*findLauncher(c.launcher), backEnd)) << c.failing;

    RecordingBackEnd unfailing;
    runLauncherSequence(*findLauncher(c.launcher), unfailing);
    std::vector<std::string> expected(unfailing.calls.begin(),
                                      unfailing.calls.begin() + static_cast<long>(c.stepsMade));
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(backEnd.calls, expected) << c.launcher << " failing at " << c.failing;
  }
  // The table covers every step of the launcher that makes the most.
  RecordingBackEnd tallowin;
  runLauncherSequence(*findLauncher("Tallowin"), tallowin);
  EXPECT_EQ(std::vector<std::string>(tallowin.calls.begin(), tallowin.calls.begin() + 7),
            kTallowinSteps);
}

}  // namespace
}  // namespace designopt
