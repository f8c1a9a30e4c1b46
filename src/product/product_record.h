// ProductSpec: the one record of the grille being designed, for the whole run of
// designopt. Zero at start-up; the console, the objective and the performance model
// read and write its fields directly.
#pragma once

namespace designopt {

struct ProductSpec {
  double grilleLength = 0;     // inch; length the designer asked for (console)
  int tubeNumber = 0;          // 2..9 from the length band (console)
  double grilleWidth = 0;      // inch; offered 1.5, 2, 2.5, 3, 3.5, 4, 5, 6, not checked
  double tolerance = 0;        // designer's value, then the tolerance last evaluated
  double thickness = 0;        // inch; mandrel bar thickness, default 0.125
  double maxNC = 0;            // maximum allowable noise criterion
  double requiredCfm = 0;      // CFM; air supply requirement per diffuser
  double staticPressure = 0;   // inch of water
  double roomTemperature = 0;  // degree; printed as Tx; default 70.0
  double frameCorner = 0;      // inch; part dimensions set by setPartDimensions
  double frameSide = 0;        // inch
  double mandrelBar = 0;       // inch; the length being priced
  double supportBar = 0;       // inch
  double tube = 0;             // inch
  int clip = 0;                // count
  int barNumber = 0;           // count; 4 w - 4 truncated, INT_MIN when that is NaN or beyond int
  double flowCoefficient = 0;  // CFM per foot; pressure term of the capacity, last tabulated width
  double capacityCfm = 0;      // CFM; capacity of the design last modelled
  double predictedNC = 0;      // NC of the design last modelled
  int objectiveCallNumber = 0; // number of the coming objective evaluation: 1 before the first
  double bestLength = 0;       // inch; first variable of the best design of the last run
};

extern ProductSpec productSpec;

}  // namespace designopt
