// The run log "log<month><day><year>.dat": the append-only text record of every
// design run on one date line of "input.dat". It is opened once per run of
// optimiseDesign, receives the header, the iteration blocks and the closing block,
// and is closed when the run ends. Nothing ever truncates it, so every run on the
// same date adds to the same file.
#pragma once

#include <cstdio>
#include <string>

#include "numeric/one_based.h"

namespace designopt {

// "log%s%s%s.dat" from the three date words, in that order.
std::string runLogName(const char* month, const char* day, const char* year);

// Opens the run log named after the date words for appending and has it flushed
// before every console read and launcher run (platform/waiting.h). When it cannot be
// opened, prints "Data file log*.dat not found!\n" on the standard output and ends
// the process with exit status 1.
std::FILE* openRunLog(const char* month, const char* day, const char* year);

// The header of one run: the variable count, the ranges as read and the starting
// sampling seed.
void writeLogHeader(std::FILE* log, int n, const DVector& lower, const DVector& upper,
                    int seed);

// The summary block written at the end of every design iteration: the model's frame
// (lower/upper) with the level of the last cut, every evaluated point in own units
// and normalised to that frame with its objective value, and the iteration's
// constrained optimum with its real objective value. The iteration number is taken
// but not written. A variable whose range has zero width normalises to 0.
void writeIterationSummary(std::FILE* log, int iteration, int n, int nPoints,
                           const DVector& lower, const DVector& upper,
                           const DMatrix& points, const DVector& funcValues,
                           const DVector& xOpt, double fOpt, double cutValue);

// Closes the run log (if open) and clears the handle.
void closeRunLog(std::FILE*& log);

}  // namespace designopt
