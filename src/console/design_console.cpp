// The design console's prompts, the problem it writes, the closing steps after the
// driver and the performance verdict.
#include "console/design_console.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/design_loop.h"
#include "driver/problem_file.h"
#include "platform/console_answers.h"
#include "platform/run_command.h"
#include "product/exchange_files.h"
#include "product/performance_model.h"
#include "product/product_record.h"

namespace designopt {

namespace {

constexpr double kDefaultThickness = 0.125;     // inch, mandrel bar
constexpr double kDefaultRoomTemperature = 70.0;  // degree
constexpr int kNewValueChoice = 2;
// Longest continue word kept; only its first character counts.
constexpr int kContinueWordLength = 63;

struct LengthBand {
  float low;
  float high;
  int tubeNumber;
};
constexpr LengthBand kLengthBands[] = {
    {4, 12, 2},  {14, 24, 3}, {26, 36, 4}, {38, 48, 5},
    {50, 60, 6}, {62, 72, 7}, {74, 84, 8}, {86, 96, 9},
};

// A single-precision number answer; a non-number brings the prompt back (the answer
// layer has discarded the rest of its line).
float askFloat(const char* prompt) {
  for (;;) {
    float value = 0;
    const AnswerStatus status = readFloatAnswer(value);
    if (status == AnswerStatus::Ok) return value;
    if (status == AnswerStatus::EndOfInput) endAtConsoleInputEnd();
    std::printf("%s", prompt);
  }
}

int askInt(const char* prompt) {
  for (;;) {
    int value = 0;
    const AnswerStatus status = readIntAnswer(value);
    if (status == AnswerStatus::Ok) return value;
    if (status == AnswerStatus::EndOfInput) endAtConsoleInputEnd();
    std::printf("%s", prompt);
  }
}

// A number that must be above zero to be a design (a width, tolerance, air supply,
// static pressure or thickness): 0 or less brings the prompt back, with the rest of
// the line still pending, as after an invalid length.
float askPositiveFloat(const char* prompt) {
  for (;;) {
    const float value = askFloat(prompt);
    if (value > 0) return value;
    std::printf("%s", prompt);
  }
}

// Prints a line end and the prompt, then takes the number.
float promptFloat(const char* prompt) {
  std::printf("\n%s", prompt);
  return askFloat(prompt);
}

float promptPositiveFloat(const char* prompt) {
  std::printf("\n%s", prompt);
  return askPositiveFloat(prompt);
}

// The length prompt comes back until the length lies in a band; the tube number of
// that band is stored at once.
float askGrilleLength() {
  const char* prompt = " Design Grille Length (4-96 inch): ";
  std::printf("%s", prompt);
  for (;;) {
    const float length = askFloat(prompt);
    const int tube = tubeNumberForLength(length);
    if (tube != 0) {
      productSpec.tubeNumber = tube;
      return length;
    }
    std::printf("%s", prompt);
  }
}

enum class NewValueRule { AnyNumber, AboveZero };

// A default-or-new-value choice: only the choice 2 asks for the new value.
double askDefaultOrNew(const char* choicePrompt, double value, NewValueRule rule) {
  std::printf("\n%s", choicePrompt);
  const int choice = askInt(choicePrompt);
  if (choice != kNewValueChoice) return value;
  const char* newValuePrompt = " New Value: ";
  std::printf("%s", newValuePrompt);
  return rule == NewValueRule::AboveZero ? askPositiveFloat(newValuePrompt)
                                         : askFloat(newValuePrompt);
}

// Writes the best design's dimensions and tolerance for the workbook, opens it for
// inspection, and sets the performance figures of the best design for the verdict.
void showBestDesign(const BestDesign& best) {
  ProductSpec& grille = productSpec;
  setPartDimensions(best.length);
  grille.tolerance = best.tolerance;
  writeExchangeFile();
  std::printf(" Check Optimum Production Cost In Excel\n\n");
  runCommand("Quorvel.exe");
  // The figures the objective would compute for a candidate of the best length,
  // without the line a pricing prints.
  computePerformance(best.length, grille.staticPressure, grille.grilleWidth);
}

}  // namespace

int tubeNumberForLength(float length) {
  for (const LengthBand& band : kLengthBands) {
    if (length >= band.low && length <= band.high) return band.tubeNumber;
  }
  std::printf("\n");
  std::printf("  Invalid Length Value!!  Re-enter Number...\n\n");
  return 0;
}

void problemRanges(float length, float tolerance, double roomTemperature, double lower[3],
                   double upper[3]) {
  const double l = length;
  const double t = tolerance;
  lower[0] = 0.5 * l;
  upper[0] = (4.0 / 3.0) * l;
  lower[1] = 0.8 * t;
  upper[1] = (4.0 / 3.0) * t;
  lower[2] = roomTemperature;
  upper[2] = roomTemperature + 5;
}

bool performanceSatisfactory(double ncMargin, double flowMargin) {
  return ncMargin >= 0 && flowMargin >= -0.5;
}

void printPerformanceVerdict() {
  const double ncMargin = productSpec.maxNC - productSpec.predictedNC;
  const double flowMargin = productSpec.requiredCfm - productSpec.capacityCfm;
  if (performanceSatisfactory(ncMargin, flowMargin)) {
    std::printf(" Check NC = %6.4f Velocity = %6.4f\t Performance satisfactory!!\n", ncMargin,
                flowMargin * -1);
  } else {
    std::printf(" Check NC = %6.4f Velocity = %6.4f\t Performance not satisfy!!\n", ncMargin,
                flowMargin);
  }
}

bool runDesignPass() {
  std::printf("\n");
  std::printf(" ***************** QUVA 27K Series Product Design ***************\n\n");

  // The designer's answers.
  const float length = askGrilleLength();
  const float width =
      promptPositiveFloat(" Design Grille Width (choose 1.5, 2, 2.5, 3, 3.5, 4, 5, 6 inch): ");
  const float tolerance = promptPositiveFloat(" Design Tolerance (0.005-0.01): ");
  const float maxNC = promptFloat(" Maximum Allowable NC Value (0-50): ");
  const float requiredCfm =
      promptPositiveFloat(" Air Supply Requirement Per Diffuser (0-1000 CFM): ");
  const float staticPressure = promptPositiveFloat(" Static Pressure Value (0.01-0.3 in H2O): ");

  char thicknessPrompt[96];
  std::snprintf(thicknessPrompt, sizeof thicknessPrompt,
                " Design Mandrel Bar Thickness (1 Default %5.3f 2 New Value): ", kDefaultThickness);
  const double thickness =
      askDefaultOrNew(thicknessPrompt, kDefaultThickness, NewValueRule::AboveZero);
  char temperaturePrompt[96];
  std::snprintf(temperaturePrompt, sizeof temperaturePrompt,
                " Design Room Temperature (1 Default %5.2f 2 New Value): ",
                kDefaultRoomTemperature);
  const double roomTemperature =
      askDefaultOrNew(temperaturePrompt, kDefaultRoomTemperature, NewValueRule::AnyNumber);

  ProductSpec& grille = productSpec;
  grille.requiredCfm = requiredCfm;
  grille.grilleWidth = width;
  grille.thickness = thickness;
  grille.grilleLength = length;
  grille.tolerance = tolerance;
  grille.roomTemperature = roomTemperature;
  grille.maxNC = maxNC;
  grille.staticPressure = staticPressure;

  // The three-variable problem for the driver.
  double lower[3];
  double upper[3];
  problemRanges(length, tolerance, roomTemperature, lower, upper);
  if (!writeProblemFile(lower, upper)) {
    std::printf("Cannot create file: input.dat!\n");
    std::exit(1);
  }

  grille.objectiveCallNumber = 1;
  const BestDesign best = optimiseDesign();

  if (best.feasible) {
    showBestDesign(best);
    printPerformanceVerdict();
  } else {
    // No design met the constraints: nothing to price, show or judge.
    std::printf("\n No feasible design was found: nothing is written for the workbook.\n");
  }

  std::printf("\n");
  std::printf(" Continue? Yes/No (y/n): ");
  std::string word;
  if (readWordAnswer(word, kContinueWordLength) != AnswerStatus::Ok) return false;
  return !word.empty() && word[0] == 'y';
}

int runDesignConsole() {
  while (runDesignPass()) {
  }
  return 0;
}

}  // namespace designopt
