// The simulated annealing engine: heating, settling and cooling with tangent
// (truncated Cauchy) jumps, one process-wide Annealer reseeded by every SAInit.
#pragma once

namespace designopt {

// An energy function: reads point[0..dim-1]. All cost functions of designopt read
// point[1..n] as a one-based vector and ignore point[0], which the engine still moves.
using CostFunction = double (*)(const double* point);

int SAInit(CostFunction cost, int dim);  // 1, or 0 when the arrays cannot be allocated
double SASetAcceptK(double k);           // k > 0 sets it; returns the value in force
double SASetTemp(double t);              // t > 0 sets it; returns the value in force
void SASetStart(const double* point);
void SAGetCurrent(double* point);
void SAGetBest(double* point);
double SAHeat(int iterations);
void SASettle(double temperature, int trials);
double SACool(int iterations);

}  // namespace designopt
