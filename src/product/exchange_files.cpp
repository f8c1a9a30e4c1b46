// Part dimensions and the exchange files with the cost workbook. The layouts are
// fixed by the workbook's macro, which parses "outexcel.dat" by its keys and writes
// the cost as the first number after the first line of "ProIn.dat".
#include "product/exchange_files.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/date_text.h"
#include "platform/session_journal.h"
#include "product/product_record.h"

namespace designopt {

namespace {

// Truncation toward zero of 4 w - 4. A width that gives NaN or a count beyond the int
// range (where converting would be undefined) gets INT_MIN, which the workbook shows
// as an impossible bar count.
int barNumberOf(double width) {
  const double bars = 4 * width - 4;
  // Every double strictly between these two bounds truncates into the int range.
  const double belowIntRange = static_cast<double>(INT_MIN) - 1.0;
  const double aboveIntRange = static_cast<double>(INT_MAX) + 1.0;
  if (!(bars > belowIntRange && bars < aboveIntRange)) return INT_MIN;
  return static_cast<int>(bars);
}

}  // namespace

void setPartDimensions(double length) {
  ProductSpec& grille = productSpec;
  const double w = grille.grilleWidth;
  grille.frameCorner = w + 1.125;
  grille.frameSide = length + 1.125;
  grille.mandrelBar = length;
  grille.supportBar = w - 0.5;
  grille.tube = w - 0.375;
  grille.barNumber = barNumberOf(w);
  grille.clip = 2 * grille.tubeNumber;
}

bool writeExchangeFile() { return writeExchangeFile(localDateText()); }

bool writeExchangeFile(const std::string& dateText) {
  // Text mode: on Windows, where the workbook reads the file, each "\n" becomes CR LF.
  std::FILE* file = std::fopen("outexcel.dat", "w");
  if (file == nullptr) {
    std::printf("Cannot find file: outexcel.dat!");
    return false;
  }
  const ProductSpec& grille = productSpec;
  std::fprintf(file, " %s\n\n", dateText.c_str());
  std::fprintf(file, " Pro/E To Excel\n\n");
  std::fprintf(file, " TubeNumber\t\t %d\n thickness\t\t %7.3f\n tolerance\t\t %7.3f\n\n",
               grille.tubeNumber, grille.thickness, grille.tolerance);
  std::fprintf(file,
               " FrameCorner\t\t %7.3f\n FrameSide\t\t %7.3f\n MandrelBar\t\t %7.3f\n"
               " SupportBar\t\t %7.3f\n Tube\t\t %7.3f\n Clip\t\t %d\n BarNumber\t\t %d\n\n",
               grille.frameCorner, grille.frameSide, grille.mandrelBar, grille.supportBar, grille.tube,
               grille.clip, grille.barNumber);
  std::fclose(file);
  return true;
}

bool parseWorkbookCost(std::FILE* file, double& cost) {
  // The first line is the macro's own heading; a line longer than the buffer
  // leaves its rest to be searched for the number.
  char heading[100];
  if (std::fgets(heading, sizeof heading, file) == nullptr) heading[0] = '\0';
  float number = 0;
  if (std::fscanf(file, "%f ", &number) != 1) return false;
  // "nan", "inf" and numbers beyond single precision convert, but are no cost the
  // optimiser could fit or compare.
  if (!std::isfinite(number)) return false;
  cost = number;
  return true;
}

bool removeStaleCostFile() {
  if (std::remove("ProIn.dat") == 0 || errno == ENOENT) return true;
  std::printf("Cannot replace file: ProIn.dat!\n");
  return false;
}

namespace {

// What a pricing left in "ProIn.dat", as the session journal records it: the cost
// ("%.17g" and its exact bits), "not-found" or "no-cost".
std::string costFileOutcome() {
  std::FILE* file = std::fopen("ProIn.dat", "r");
  if (file == nullptr) return "not-found";
  double cost = 0.0;
  const bool read = parseWorkbookCost(file, cost);
  std::fclose(file);
  return read ? exactNumberText(cost) : "no-cost";
}

}  // namespace

bool readWorkbookCost(double& cost) {
  // A resumed run takes the cost its first run read.
  std::string outcome;
  if (const JournalRecord* record = replayNext("cost")) {
    outcome = record->text;
  } else {
    outcome = costFileOutcome();
  }
  recordEntry("cost", outcome);
  if (outcome == "not-found") {
    std::printf("Data file ProIn.dat not found !\n");
    return false;
  }
  if (outcome == "no-cost") {
    std::printf("Data file ProIn.dat holds no cost !\n");
    return false;
  }
  return parseExactNumber(outcome, cost);
}

}  // namespace designopt
