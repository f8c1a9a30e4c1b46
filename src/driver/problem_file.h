// The problem file "input.dat": the design console writes it just before each run of
// the driver, and the driver reads it back at the start of the run. It holds the date
// of writing (which names the run log), the variable count and the lower and upper
// bound of each variable.
//
// The reader refuses a problem it cannot work on (a count outside 3..20, a missing or
// non-numeric or infinite bound, a lower bound above its upper bound) before anything is
// allocated for it: it prints "Error: reading input.dat has error!\n" and ends the
// process with exit status 1. The parsing itself (parseProblemFile) neither prints nor
// ends the process, so that any bytes at all can be fed to it.
#pragma once

#include <cstdio>

#include "driver/design_state.h"
#include "runlog/run_log_format.h"

namespace designopt {

// The variable counts the driver accepts, kMinVariables..kMaxVariables, are those of
// the run log's format (runlog/run_log_format.h), where the report reads them back.

// Longest date word kept; the rest of a longer word is dropped, so a malformed date
// line cannot overrun the word buffers or shift the words that follow.
constexpr int kDateWordLength = 11;

// The problem as the file states it. Filled by parseProblemFile.
struct ProblemFileContents {
  char month[kDateWordLength + 1];  // the date line's three words, which name the run log
  char day[kDateWordLength + 1];
  char year[kDateWordLength + 1];
  int nVars;                        // variable count, kMinVariables..kMaxVariables
  double lower[kMaxVariables + 1];  // lower bound of variable j at [j], j = 1..nVars; finite
  double upper[kMaxVariables + 1];  // upper bound of variable j, never below lower[j]; finite
};

// How far parseProblemFile got.
enum class ProblemFileStatus {
  Read,        // the whole problem is in the contents
  BadDate,     // the file ends before the date line's three words; nothing usable is set
  BadProblem,  // the date words are set, but the count or a bound cannot be worked on
};

// Reads a problem file from `in` (left open) into `problem`: the date words, the
// label line (ignored), the count and the bounds, checked as the driver needs them.
ProblemFileStatus parseProblemFile(std::FILE* in, ProblemFileContents& problem);

// Writes "input.dat" afresh (truncating an old one) for the console's three
// variables, dated with the current local date. Returns false when the file cannot
// be created or written; nothing is printed.
bool writeProblemFile(const double lower[3], const double upper[3]);
// The same with the date line given (the local date text, "%B %d %y").
bool writeProblemFile(const char* dateText, const double lower[3], const double upper[3]);

// The first stage of optimiseDesign: reads "input.dat" into a freshly allocated
// state (the bounds become both the previous and the current ranges, the seed is 0),
// opens the run log named after the file's date words for appending, writes the
// log header and returns the open log. A missing "input.dat" or log, or a problem
// the driver cannot work on, ends the process with exit status 1 after a message on
// the standard output.
std::FILE* readProblemFile(DesignState& state);

}  // namespace designopt
