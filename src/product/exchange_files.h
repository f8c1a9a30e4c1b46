// The part dimensions of a candidate grille and the two files through which the
// cost workbook prices it: "outexcel.dat" carries the dimensions to the workbook,
// "ProIn.dat" carries the cost back. Both live in the current directory.
#pragma once

#include <cstdio>
#include <string>

namespace designopt {

// Fills frameCorner, frameSide, mandrelBar, supportBar, tube, clip and barNumber of
// productSpec from `length` (inch), grilleWidth and tubeNumber.
void setPartDimensions(double length);

// Writes "outexcel.dat" from productSpec, dated with the current local date. When the
// file cannot be created, prints "Cannot find file: outexcel.dat!" (no newline) on
// the standard output and returns false; the caller decides whether to go on.
bool writeExchangeFile();

// The same with a given date text ("%B %d %y"), so that the file's bytes can be
// checked for a fixed date.
bool writeExchangeFile(const std::string& dateText);

// Removes "ProIn.dat" before the workbook prices a design, so that the cost read
// afterwards can only come from that pricing. A file that is not there is fine. When
// it is there and cannot be removed (as C remove() reports: a non-empty directory of
// that name, a file in a folder without write permission), prints "Cannot replace
// file: ProIn.dat!\n" on the standard output and returns false.
bool removeStaleCostFile();

// The cost the workbook's macro left in "ProIn.dat": the first number after the first
// line, read into single precision and widened. A missing file prints "Data file
// ProIn.dat not found !\n", a file with no finite number there "Data file ProIn.dat
// holds no cost !\n", on the standard output; either returns false with `cost`
// untouched.
bool readWorkbookCost(double& cost);

// The parsing step of readWorkbookCost on an open cost file (left open): skips the
// first line and reads the number after it. False, with `cost` untouched, when no
// number stands there or it is not finite in single precision; nothing is printed.
bool parseWorkbookCost(std::FILE* file, double& cost);

}  // namespace designopt
