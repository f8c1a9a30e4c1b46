// The design console: the entry of designopt. Each pass takes one grille design from
// the designer, derives the tube number from the length, writes the three-variable
// problem "input.dat", runs the optimisation driver, writes the best design's
// dimensions for the cost workbook, shows it in Excel through "Quorvel.exe" and
// judges its noise criterion and air flow.
//
// Console input: a number answer that is not a number, or not finite (nan, inf,
// 1e39), brings the same prompt back silently; a width, tolerance, air supply, static
// pressure or new thickness of 0 or less brings the same prompt back too, with the
// rest of its line still to be read. End of input at a number prompt ends designopt
// with status 1 after "\n Console input has ended.\n" on the standard error stream;
// end of input at the continue word ends designopt normally (status 0).
//
// When the driver found no feasible design, the pass says so instead of writing the
// best design for the workbook, opening it and judging it.
#pragma once

namespace designopt {

// Tube number 2..9 of the length band (inch, compared in single precision) in which
// `length` lies, both limits inclusive. For a length below 4, above 96, in a gap
// between two bands, or NaN, prints "\n" and "  Invalid Length Value!!  Re-enter
// Number...\n\n" and returns 0.
int tubeNumberForLength(float length);

// The six bounds of the console's problem, in double from the single-precision
// answers: length 0.5 L .. 4/3 L, tolerance 0.8 t .. 4/3 t, Tc T .. T + 5.
void problemRanges(float length, float tolerance, double roomTemperature, double lower[3],
                   double upper[3]);

// True when the NC margin is at least 0 and the flow margin at least -0.5; a NaN
// margin fails.
bool performanceSatisfactory(double ncMargin, double flowMargin);

// The verdict line on the NC and air flow in productSpec, which the pass sets to the
// performance model's figures at the best design's length.
void printPerformanceVerdict();

// One design pass from the banner to the continue answer. Returns true when the
// designer's continue word begins with 'y'.
bool runDesignPass();

// Runs design passes until the designer declines; returns the exit status of a
// normal end, 0.
int runDesignConsole();

}  // namespace designopt
