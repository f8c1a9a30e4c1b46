// The built-in cost workbook's macro "Main": it reads the design that designopt
// wrote to "outexcel.dat", prices it with the unit prices of a cost sheet, and hands
// the cost back in "ProIn.dat" or shows the priced bill of materials.
//
// "outexcel.dat" is read by its keys, the way a workbook macro looks its cells up:
// the date line and the header are skipped, the order of the value lines does not
// matter, and CR LF line ends are accepted. A design that is incomplete or that holds
// a value no grille can have (not a finite number, a negative dimension or count, a
// tolerance of zero or less) is refused instead of being priced, so the optimiser
// never sees a cost that was not computed from a whole design.
#pragma once

#include <cstddef>
#include <string>

#include "costworkbook/cost_sheet.h"

namespace designopt {

// One design as the exchange file carries it. Set by parseExchangeText.
struct ExchangeDesign {
  int tubeNumber;      // "TubeNumber": number of tubes (count)
  double thickness;    // "thickness": mandrel bar thickness (inch)
  double tolerance;    // "tolerance": design tolerance (> 0)
  double frameCorner;  // "FrameCorner": length of one frame corner piece (inch)
  double frameSide;    // "FrameSide": length of one frame side (inch)
  double mandrelBar;   // "MandrelBar": length of one mandrel bar (inch)
  double supportBar;   // "SupportBar": length of the support bar (inch)
  double tube;         // "Tube": length of one tube (inch)
  int clip;            // "Clip": number of clips (count)
  int barNumber;       // "BarNumber": number of mandrel bars (count)
};

// One priced line of the bill of materials.
struct BillLine {
  const char* part;   // part name as the bill shows it
  long quantity;      // pieces
  bool byLength;      // priced per inch of each piece (true) or per piece (false)
  double lengthEach;  // inch per piece; 0 for parts priced by the piece
  double unitPrice;   // dollars per inch, or per piece
  double price;       // dollars for the line: pieces × inch each × unit price, or pieces × unit price
};

constexpr int kBillLineCount = 7;

// The priced design: frame sides, frame corners, mandrel bars, support bar, tubes,
// clips and the tolerance premium, and their total in dollars.
struct Bill {
  BillLine lines[kBillLineCount];
  double total;
};

// Parses the text of "outexcel.dat" (any bytes, any length). Returns true with all
// ten values in `design`; otherwise false with one line in `problem`.
bool parseExchangeText(const char* text, std::size_t size, ExchangeDesign& design,
                       std::string& problem);

// Prices a design:
//   frame sides   = 2 × FrameSide × framePerInch
//   frame corners = 2 × FrameCorner × framePerInch
//   mandrel bars  = BarNumber × MandrelBar × (mandrelBarPerInch × (thickness / mandrelReferenceThickness))
//   support bar   = 1 × SupportBar × supportBarPerInch
//   tubes         = TubeNumber × Tube × tubePerInch
//   clips         = Clip × clipPrice
//   premium       = tolerancePremium × (referenceTolerance / tolerance)
// and the total is their sum in that order. Returns false with `problem` when the
// total is not a finite number (dimensions too large to price).
bool priceDesign(const ExchangeDesign& design, const CostSheet& sheet, Bill& bill,
                 std::string& problem);

// The bill of materials as the open workbook shows it on the console.
std::string formatBill(const Bill& bill, const char* workbookPath);

// Writes the cost file: a first line of text, then the total as "%.4f". The text
// goes to a temporary file beside `path` that replaces `path` only once it is
// complete, so a failed write leaves the previous cost file as it was.
bool writeCostFile(const std::string& path, const Bill& bill, std::string& problem);

}  // namespace designopt
