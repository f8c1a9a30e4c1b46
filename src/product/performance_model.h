// The empirical performance model of a linear grille: air flow capacity (CFM) and
// noise criterion (NC) from its length, width and the static pressure. The objective
// runs it for every candidate; the constraint model repeats its formulas through the
// two helpers below so that both judge a length with the same arithmetic.
#pragma once

namespace designopt {

// Capacity in CFM of a grille `length` inches long and `width` inches wide, with the
// pressure term `flowCoefficient` (CFM per foot).
double grilleCapacity(double length, double width, double flowCoefficient);

// Noise criterion of a grille of `length` and `width` inches at `staticPressure`
// inches of water.
double noiseCriterion(double length, double staticPressure, double width);

// The draft temperature figure TN of a grille supplying air at tc (°F) into a room at
// roomTemperature (°F) through a face velocity of faceVelocity feet per minute. The
// pricing of a candidate prints it with the candidate's face velocity; the constraints
// use it with their own velocity term (constraints.cpp), so the TN band they keep is not
// a band on the printed TN.
inline double draftTemperatureFigure(double roomTemperature, double tc, double faceVelocity) {
  return (roomTemperature - tc) - 0.07 * (faceVelocity - 30);
}

// Sets productSpec.flowCoefficient (only for a tabulated width), capacityCfm and
// predictedNC. The console judges the best design with it, silently.
void computePerformance(double length, double staticPressure, double width);

// computePerformance, then prints " Vel %6.2f NC %f\n" with requiredCfm and
// predictedNC: the pricing of a candidate shows its figures.
void predictPerformance(double length, double staticPressure, double width);

}  // namespace designopt
