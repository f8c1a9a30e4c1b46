// The simulated annealing engine: heating, settling and cooling with tangent
// (truncated Cauchy) jumps, one process-wide Annealer reseeded by every SAInit.
#pragma once

#include <limits>

namespace designopt {

// An energy function: reads point[0..dim-1]. All cost functions of designopt read
// point[1..n] as a one-based vector and ignore point[0], which the engine still moves.
using CostFunction = double (*)(const double* point);

// The one engine of the process. SAInit sets every field; only temperature and acceptK
// can be changed by callers (SASetTemp, SASetAcceptK); the search routines own the rest.
struct Annealer {
  CostFunction cost = nullptr;     // the energy function of the search in progress
  int dim = 0;                     // coordinates of a point, 0..dim-1 (n + 1 in designopt)
  double temperature = 0.0;        // T; read by SAHeat and SACool at their start, written at their end
  double acceptK = 1.0;            // K of the acceptance probability exp(-dE / (K T))
  double stepScale = 0.5;          // rho, the jump's scale: a jump moves by T * rho * tan(...)
  double heatStep = 0.1;           // temperature added per heating iteration
  double coolRate = 0.1;           // c of the cooling schedule T0 / (1 + i c)
  int defaultIterations = 400;     // heating or cooling iterations when a caller asks for < 1
  double heatStopRatio = 100.0;    // heating stops on a rise above this multiple of the previous rise
  double halfAngle = 1.5707813268; // h: tangent arguments lie in [-h, h], |tan| <= 66666.69
  int settleTrials = 20;           // trials of each settling inside heating and cooling
  double* current = nullptr;       // the current point (dim doubles); exchanges roles with trial
  double* trial = nullptr;         // the candidate (dim doubles)
  double* best = nullptr;          // copy of the lowest-energy point seen (dim doubles)
  double currentEnergy = std::numeric_limits<double>::infinity();  // energy recorded for current
  double bestEnergy = std::numeric_limits<double>::infinity();     // lowest energy recorded
};

// Read-only view of the engine, for tests and diagnostics.
const Annealer& annealerState();

int SAInit(CostFunction cost, int dim);  // 1, or 0 when the arrays cannot be allocated
double SASetAcceptK(double k);           // k > 0 sets it; returns the value in force
double SASetTemp(double t);              // t > 0 sets it; returns the value in force
void SASetStart(const double* point);
void SAGetCurrent(double* point);
void SAGetBest(double* point);
double SAHeat(int iterations);
void SASettle(double temperature, int trials);
double SACool(int iterations);

// The next deviate of the search in progress, in place of r250Uniform: a search's own
// draws between SAInit and its end (its start point) come through here, so that they
// keep their place among the engine's deviates. Returns what r250Uniform would.
// Cost functions draw nothing from r250: the engine hands out its deviates from a table
// while a search step runs and puts r250 in its place only when the step returns.
double annealerUniform();

// Test seams: the half-angle that SAInit sets (restore Annealer().halfAngle after use),
// and whether searches read their deviates and tangents from the process-wide tables
// (true) or draw and take every tangent themselves.
void setJumpHalfAngleForTesting(double halfAngle);
void useDeviateTablesForTesting(bool use);

}  // namespace designopt
