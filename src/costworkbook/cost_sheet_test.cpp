#include "costworkbook/cost_sheet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace designopt {
namespace {

const char* const kWholeSheet =
    "# prices\r\n"
    "[Notes]\r\n"
    "FramePerInch = 99   # a note, not a price\r\n"
    "anything at all\r\n"
    "\r\n"
    "  [ProData]  # the sheet\r\n"
    "FramePerInch=0.12\r\n"
    "MandrelBarPerInch = 0.06\r\n"
    "\tMandrelReferenceThickness\t=\t0.125\r\n"
    "SupportBarPerInch = 1e-1\r\n"
    "TubePerInch = 0.35\r\n"
    "ClipPrice = 0.18\r\n"
    "TolerancePremium = 4\r\n"
    "ReferenceTolerance = 0.010";  // no line end after the last line

bool parse(const std::string& text, CostSheet& sheet, std::string& problem) {
  return parseCostSheet(text.data(), text.size(), sheet, problem);
}

TEST(CostSheet, ReadsOnlyTheProDataSectionWithCommentsAndCrLf) {
  CostSheet sheet{};
  std::string problem;
  ASSERT_TRUE(parse(kWholeSheet, sheet, problem)) << problem;
  EXPECT_EQ(sheet.framePerInch, 0.12);
  EXPECT_EQ(sheet.mandrelBarPerInch, 0.06);
  EXPECT_EQ(sheet.mandrelReferenceThickness, 0.125);
  EXPECT_EQ(sheet.supportBarPerInch, 0.1);
  EXPECT_EQ(sheet.tubePerInch, 0.35);
  EXPECT_EQ(sheet.clipPrice, 0.18);
  EXPECT_EQ(sheet.tolerancePremium, 4.0);
  EXPECT_EQ(sheet.referenceTolerance, 0.010);
}

TEST(CostSheet, RefusesSheetsItCannotTrust) {
  const std::string whole = kWholeSheet;
  auto replaced = [&whole](const std::string& from, const std::string& to) {
    std::string text = whole;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string text;
    const char* problem;
  } cases[] = {
      {"[Notes]\nFramePerInch = 1\n", "no sheet \"ProData\""},
      {"", "no sheet \"ProData\""},
      {replaced("[ProData]", "[Prodata]"), "no sheet \"ProData\""},
      {replaced("ClipPrice = 0.18", ""), "has no ClipPrice"},
      {replaced("ClipPrice", "ClipCost"), "unknown key \"ClipCost\""},
      {whole + "\nTubePerInch = 0.4\n", "TubePerInch given twice"},
      {replaced("0.35", "cheap"), "TubePerInch is not a number"},
      {replaced("0.35", "nan"), "TubePerInch is not a number"},
      {replaced("0.35", "inf"), "TubePerInch is not a number"},
      {replaced("0.35", "1e999"), "TubePerInch is not a number"},
      {replaced("0.35", "0.35 0.4"), "TubePerInch is not a number"},
      {replaced("0.35", ""), "TubePerInch is not a number"},
      {replaced("0.35", std::string("0.3\0" "5", 4)), "TubePerInch is not a number"},
      {replaced("0.35", std::string(100000, '9')), "TubePerInch is not a number"},
      {replaced("0.35", "-0.35"), "TubePerInch is negative"},
      {replaced("= 0.010", "= 0"), "ReferenceTolerance must be greater than zero"},
      {replaced("\t0.125", "\t-0.125"), "MandrelReferenceThickness must be greater than zero"},
      {replaced("ClipPrice = 0.18", "ClipPrice 0.18"), "line 12: expected \"key = value\""},
      {whole + "\n[Extra\n", "unfinished section header"},
  };
  for (const auto& c : cases) {
    CostSheet sheet{};
    std::string problem;
    EXPECT_FALSE(parse(c.text, sheet, problem)) << c.problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << "got: " << problem;
  }
}

TEST(CostSheet, FixedWorkbookPathsMapToTheirCostSheets) {
  EXPECT_STREQ(costSheetFileName("C:\\zrk\\quva source\\QUVA2002.xls"), "QUVA2002.costsheet");
  EXPECT_STREQ(costSheetFileName("C:\\zrk\\quva source\\QUVA2002_Old.xls"),
               "QUVA2002_Old.costsheet");
  EXPECT_EQ(costSheetFileName("QUVA2002.xls"), nullptr);
}

TEST(CostSheet, ShippedSheetsAreComplete) {
  for (const char* name : {"QUVA2002.costsheet", "QUVA2002_Old.costsheet"}) {
    std::string text;
    std::string problem;
    ASSERT_TRUE(readWorkbookFile(std::string(COST_SHEET_SOURCE_DIR) + "/" + name, text, problem))
        << problem;
    CostSheet sheet{};
    EXPECT_TRUE(parseCostSheet(text.data(), text.size(), sheet, problem)) << name << ": " << problem;
  }
}

TEST(WorkbookFile, ReadsWholeFilesUpToTheLimitOnly) {
  const std::string path = ::testing::TempDir() + "workbook_file_test_" + std::to_string(getpid()) + ".bin";
  auto writeBytes = [&path](const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  };
  std::string contents;
  std::string problem;

  const std::string withNul("a\0b\r\n", 5);
  writeBytes(withNul);
  ASSERT_TRUE(readWorkbookFile(path, contents, problem)) << problem;
  EXPECT_EQ(contents, withNul);

  writeBytes(std::string(kMaxWorkbookFileBytes, 'x'));
  EXPECT_TRUE(readWorkbookFile(path, contents, problem));
  EXPECT_EQ(contents.size(), kMaxWorkbookFileBytes);

  writeBytes(std::string(kMaxWorkbookFileBytes + 1, 'x'));
  EXPECT_FALSE(readWorkbookFile(path, contents, problem));
  EXPECT_NE(problem.find("larger than"), std::string::npos);

  std::remove(path.c_str());
  EXPECT_FALSE(readWorkbookFile(path, contents, problem));
  EXPECT_EQ(problem.find(path), 0u);

  // A directory opens for reading but cannot be read.
  EXPECT_FALSE(readWorkbookFile(::testing::TempDir(), contents, problem));
  EXPECT_NE(problem.find(": cannot be read"), std::string::npos) << problem;
}

}  // namespace
}  // namespace designopt
