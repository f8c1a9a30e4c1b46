// Pricing one candidate grille: part dimensions, performance figures on the console,
// the exchange file, the "Tallowin.exe" launcher that has the cost workbook price it,
// the designer's Enter, and the cost read back from "ProIn.dat". The first pricing of
// a design first shows the requested design's cost through "Prevada.exe".
//
// A cost is only ever taken from the pricing just run: "ProIn.dat" is removed before
// every run of "Tallowin.exe", and when the workbook leaves no cost the designer is
// asked to have the design priced again.
#include "product/objective.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console_answers.h"
#include "platform/run_command.h"
#include "product/exchange_files.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {

namespace {

// One over 144, square inches to square feet, held as this exact double.
constexpr double kSquareFeetPerSquareInch = 0.006944444444444444;

// The workbook would price a stale file if "outexcel.dat" could not be written, so a
// pricing never goes on without it.
void writeExchangeFileOrExit() {
  if (writeExchangeFile()) return;
  std::printf("\n");
  std::exit(1);
}

void removeStaleCostFileOrExit() {
  if (!removeStaleCostFile()) std::exit(1);
}

}  // namespace

double evaluateObjective(const DVector& x) {
  ProductSpec& grille = productSpec;
  const double w = grille.grilleWidth;

  // The requested design's cost, shown once per design before any candidate.
  if (grille.objectiveCallNumber == 1) {
    setPartDimensions(grille.grilleLength);
    writeExchangeFileOrExit();
    std::printf(" Initial Cost is .... check in excel! \n");
    runCommand("Prevada.exe");
    std::printf(" Done!...Press 'Enter'\n");
    // Two characters: the newline left by the last numeric answer, then the Enter.
    readConfirmation(2);
  }
  grille.objectiveCallNumber += 1;

  // The candidate's dimensions.
  grille.tolerance = x[2];
  const double tc = x[3];
  setPartDimensions(x[1]);

  // Free area (square inches) between the bars, then the face velocity (feet per
  // minute) and the draft temperature figure TN, which are only printed. A free area
  // of zero or less is not checked; the figures then show what IEEE arithmetic gives.
  const double freeArea = ((w - 0.375) - grille.barNumber * grille.thickness) * (x[1] - 0.375);
  predictPerformance(x[1], grille.staticPressure, w);
  const double velocity = grille.capacityCfm / (freeArea * kSquareFeetPerSquareInch);
  const double tn = draftTemperatureFigure(grille.roomTemperature, tc, velocity);
  std::printf(" Tx %f, Tc %f\n", grille.roomTemperature, tc);
  std::printf(" L %5.2f Velocity %5.2f TN %3.1f Tol %6.5f\n\n", x[1], grille.capacityCfm, tn,
              grille.tolerance);

  // The workbook prices the candidate, as often as it takes to get a cost.
  writeExchangeFileOrExit();
  std::printf(" Please Wait While Excel Cost is Running....\n");
  for (;;) {
    // The old cost goes just before Tallowin runs; a resumed run that takes this
    // Tallowin's status from the session journal keeps the "ProIn.dat" it left.
    runCommand("Tallowin.exe", removeStaleCostFileOrExit);
    std::printf(" Done!...Press 'Enter'\n");
    readConfirmation(1);
    double cost = 0.0;
    if (readWorkbookCost(cost)) return cost;
    // No cost is ever invented: the designer puts the workbook right (Excel started,
    // the launchers on the PATH) and has the same design priced again.
    std::printf(" Press 'Enter' to price the design again\n");
    if (readCharacter() == EOF) endAtConsoleInputEnd();
    std::printf(" Please Wait While Excel Cost is Running....\n");
  }
}

}  // namespace designopt
