// The cost sheets of the built-in cost workbook: the unit prices that the launchers
// use wherever Excel is not available.
//
// Each of the two cost workbooks ("C:\zrk\quva source\QUVA2002.xls", the current
// prices, and "C:\zrk\quva source\QUVA2002_Old.xls", the earlier prices) has a
// stand-in text file installed beside the launchers. Its "[ProData]" section holds
// the unit prices as "key = value" lines; '#' starts a comment. The reader is written
// for a file a person edits by hand: every price must be present exactly once, every
// value must be a plain finite number, and anything it does not understand inside
// "[ProData]" is reported rather than guessed at.
#pragma once

#include <cstddef>
#include <string>

namespace designopt {

// Upper bound on the size of a cost sheet or an exchange file the stand-in reads.
// Both are a few hundred bytes; anything larger is not one of them.
constexpr std::size_t kMaxWorkbookFileBytes = 64 * 1024;

// Unit prices of the sheet "ProData". All in US dollars; set by parseCostSheet,
// read by priceDesign.
struct CostSheet {
  double framePerInch;               // frame extrusion, per inch of frame side or corner
  double mandrelBarPerInch;          // mandrel bar, per inch at the reference thickness
  double mandrelReferenceThickness;  // inch; the bar price scales with thickness / this (> 0)
  double supportBarPerInch;          // support bar, per inch
  double tubePerInch;                // tube, per inch of each tube
  double clipPrice;                  // one clip
  double tolerancePremium;           // premium for holding the reference tolerance
  double referenceTolerance;         // the premium scales with this / tolerance (> 0)
};

// The cost-sheet file that stands in for one of the two fixed workbook paths
// ("QUVA2002.costsheet" or "QUVA2002_Old.costsheet"), or nullptr for any other path.
const char* costSheetFileName(const char* workbookPath);

// Reads a whole file of at most kMaxWorkbookFileBytes into `contents`. On failure
// returns false and says why in `problem` (the file is missing or unreadable, or it
// is too large to be a workbook file).
bool readWorkbookFile(const std::string& path, std::string& contents, std::string& problem);

// True when the text has a "[ProData]" section header: the sheet the launchers
// look up before they run the macro.
bool hasProDataSheet(const char* text, std::size_t size);

// Parses the "[ProData]" section of a cost sheet held in memory (any bytes, any
// length). On success fills `sheet` and returns true; otherwise returns false with
// one line in `problem` naming the line and the fault: no "[ProData]" section, a line
// that is not "key = value", an unknown or repeated key, a value that is not a finite
// number, a negative price, a reference of zero or less, or a missing key.
bool parseCostSheet(const char* text, std::size_t size, CostSheet& sheet, std::string& problem);

}  // namespace designopt
