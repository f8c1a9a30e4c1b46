// Runs the built launchers as designopt does: in a working directory that holds
// "outexcel.dat", through the command interpreter, then reads "ProIn.dat".
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "costworkbook/cost_sheet.h"
#include "costworkbook/design_pricing.h"
#include "fixtures/exchange_fixture.h"

namespace designopt {
namespace {

constexpr const char* kCurrentWorkbook = "C:\\zrk\\quva source\\QUVA2002.xls";
constexpr const char* kEarlierWorkbook = "C:\\zrk\\quva source\\QUVA2002_Old.xls";
constexpr const char* kOldCostFile = " an earlier cost\n12.5\n";

struct LauncherRun {
  int status;
  std::string out;
  std::string err;
};

std::string freshDirectory() {
  std::string pattern = ::testing::TempDir() + "launcherXXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  return pattern + "/";
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string fileText(const std::string& path) {
  std::string text;
  std::string problem;
  if (!readWorkbookFile(path, text, problem)) return "(unreadable: " + problem + ")";
  return text;
}

void copyExecutable(const std::string& from, const std::string& to) {
  std::ifstream source(from, std::ios::binary);
  ASSERT_TRUE(source) << from;
  std::ofstream copy(to, std::ios::binary);
  copy << source.rdbuf();
  copy.close();
  ASSERT_TRUE(copy) << to;
  ASSERT_EQ(chmod(to.c_str(), 0755), 0);
}

// Runs `executable` with `directory` as its working directory.
LauncherRun runIn(const std::string& directory, const std::string& executable) {
  // Beside the directory, so that the launcher sees only what the test put there.
  const std::string sibling = directory.substr(0, directory.size() - 1);
  const std::string out = sibling + ".stdout";
  const std::string err = sibling + ".stderr";
  const std::string command =
      "cd '" + directory + "' && '" + executable + "' >'" + out + "' 2>'" + err + "'";
  const int result = std::system(command.c_str());
  LauncherRun run{WIFEXITED(result) ? WEXITSTATUS(result) : -1, fileText(out), fileText(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

std::string builtLauncher(const char* name) {
  return std::string(LAUNCHER_DIR) + "/" + name + ".exe";
}

// The bill of the 48 by 2 grille priced with a cost sheet installed beside the launchers.
Bill expectedBill(const char* costSheet) {
  std::string text;
  std::string problem;
  CostSheet sheet{};
  ExchangeDesign design{};
  Bill bill{};
  EXPECT_TRUE(readWorkbookFile(std::string(LAUNCHER_DIR) + "/" + costSheet, text, problem)) << problem;
  EXPECT_TRUE(parseCostSheet(text.data(), text.size(), sheet, problem)) << problem;
  const std::string exchange = kExchange48By2;
  EXPECT_TRUE(parseExchangeText(exchange.data(), exchange.size(), design, problem)) << problem;
  EXPECT_TRUE(priceDesign(design, sheet, bill, problem)) << problem;
  return bill;
}

TEST(WorkbookLauncher, TallowinHandsBackTheCostThatDesignoptReads) {
  const std::string directory = freshDirectory();
  writeFile(directory + "outexcel.dat", kExchange48By2);

  const LauncherRun run = runIn(directory, builtLauncher("Tallowin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");

  // Read back as designopt does: skip the first line, then one "%f " number.
  std::FILE* file = std::fopen((directory + "ProIn.dat").c_str(), "r");
  ASSERT_NE(file, nullptr);
  char firstLine[100];
  ASSERT_NE(std::fgets(firstLine, sizeof firstLine, file), nullptr);
  float cost = 0.0f;
  ASSERT_EQ(std::fscanf(file, "%f ", &cost), 1);
  std::fclose(file);
  EXPECT_FLOAT_EQ(cost, static_cast<float>(expectedBill("QUVA2002.costsheet").total));
  EXPECT_GT(cost, 10.0f);  // a 48 inch grille of width 2 costs tens of dollars
  EXPECT_LT(cost, 100.0f);
  EXPECT_EQ(fileText(directory + "ProIn.dat.new").rfind("(unreadable", 0), 0u);
}

TEST(WorkbookLauncher, PrevadaAndQuorvelShowTheBillAndLeaveTheCostFileAlone) {
  const struct {
    const char* launcher;
    const char* workbook;
    const char* costSheet;
  } cases[] = {
      {"Prevada", kEarlierWorkbook, "QUVA2002_Old.costsheet"},
      {"Quorvel", kCurrentWorkbook, "QUVA2002.costsheet"},
  };
  for (const auto& c : cases) {
    const std::string directory = freshDirectory();
    writeFile(directory + "outexcel.dat", kExchange48By2);
    writeFile(directory + "ProIn.dat", kOldCostFile);
    const LauncherRun run = runIn(directory, builtLauncher(c.launcher));
    EXPECT_EQ(run.status, 0) << c.launcher << ": " << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, formatBill(expectedBill(c.costSheet), c.workbook)) << c.launcher;
    EXPECT_EQ(fileText(directory + "ProIn.dat"), kOldCostFile) << c.launcher;
  }
  EXPECT_GT(expectedBill("QUVA2002.costsheet").total, expectedBill("QUVA2002_Old.costsheet").total);
}

TEST(WorkbookLauncher, FailuresAreReportedAndLeaveTheCostFileAsItWas) {
  const std::string incomplete =
      std::string(kExchange48By2).substr(0, std::string(kExchange48By2).find(" Clip"));
  const struct {
    const char* what;
    const char* launcher;
    const char* exchange;        // nullptr: no outexcel.dat
    const char* ownCostSheet;    // nullptr: the launcher as built; else a copy beside this sheet
    const char* message;
  } cases[] = {
      {"no outexcel.dat", "Tallowin", nullptr, nullptr,
       "Tallowin: macro \"Main\" cannot read the design: outexcel.dat: "},
      {"no outexcel.dat", "Quorvel", nullptr, nullptr,
       "Quorvel: macro \"Main\" cannot read the design: outexcel.dat: "},
      {"incomplete outexcel.dat", "Tallowin", incomplete.c_str(), nullptr,
       "Tallowin: macro \"Main\" cannot read the design: outexcel.dat: no value for Clip\n"},
      {"cost sheet without ProData", "Tallowin", kExchange48By2, "[Prices]\nClipPrice = 0.2\n",
       "has no sheet \"ProData\"\n"},
      {"incomplete ProData", "Tallowin", kExchange48By2, "[ProData]\nClipPrice = 0.2\n",
       "QUVA2002.costsheet: sheet \"ProData\" has no FramePerInch\n"},
      {"no cost sheet", "Tallowin", kExchange48By2, "",
       "Tallowin: cannot open the cost workbook C:\\zrk\\quva source\\QUVA2002.xls ("},
  };
  for (const auto& c : cases) {
    const std::string directory = freshDirectory();
    if (c.exchange != nullptr) writeFile(directory + "outexcel.dat", c.exchange);
    writeFile(directory + "ProIn.dat", kOldCostFile);
    std::string launcher = builtLauncher(c.launcher);
    if (c.ownCostSheet != nullptr) {
      const std::string bin = freshDirectory();
      copyExecutable(launcher, bin + c.launcher + ".exe");
      launcher = bin + c.launcher + ".exe";
      if (c.ownCostSheet[0] != '\0') writeFile(bin + "QUVA2002.costsheet", c.ownCostSheet);
    }
    const LauncherRun run = runIn(directory, launcher);
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(fileText(directory + "ProIn.dat"), kOldCostFile) << c.what;
  }
}

}  // namespace
}  // namespace designopt
