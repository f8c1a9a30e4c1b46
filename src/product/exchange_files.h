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

// The cost the workbook's macro left in "ProIn.dat": the first number after the first
// line, read into single precision and widened. A missing file, or a file with no
// finite number there, is reported on the standard output and the designer is asked
// to press Enter so that the file is read again; at end of input the process ends
// with status 1.
double readWorkbookCost();

// The parsing step of readWorkbookCost on an open cost file (left open): skips the
// first line and reads the number after it. False, with `cost` untouched, when no
// number stands there or it is not finite in single precision; nothing is printed.
bool parseWorkbookCost(std::FILE* file, double& cost);

}  // namespace designopt
