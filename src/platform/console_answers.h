// The console-answer layer: every answer designopt takes from the designer goes
// through here, over C stdio on standard input.
//
// Policies held in this one place:
// - A number answer that converts nothing, or converts to a number that is not
//   finite (nan, inf, or a "%f" answer beyond single precision such as 1e39),
//   discards the rest of that input line and is reported as NotANumber; the caller
//   prints its prompt again or follows its own rule. What follows a converted
//   number stays pending, as with scanf.
// - Every read first flushes the standard streams and the run log (waiting.h).
// - End of input never makes the program spin: number and word reads report it,
//   the single-key answer takes the caller's finishing answer, and the "Press
//   'Enter'" confirmation returns at once.
#pragma once

#include <string>

namespace designopt {

enum class AnswerStatus { Ok, NotANumber, EndOfInput };

AnswerStatus readFloatAnswer(float& value);    // "%f" into single precision
AnswerStatus readIntAnswer(int& value);        // "%d"
AnswerStatus readDoubleAnswer(double& value);  // "%lf"

// One whitespace-delimited word ("%s"), at most maxLength characters; the rest of a
// longer word stays pending. EndOfInput when no word could be read.
AnswerStatus readWordAnswer(std::string& word, int maxLength);

// One character with getchar; EOF at end of input.
int readCharacter();

// The driver's single-key answer: one character is read and discarded, whatever it
// is, then the answer character is read. At end of input the prompt's finishing
// answer is returned instead.
int readSingleKey(int answerAtEndOfInput);

// Where the console input has ended and designopt cannot go on without an answer:
// flushes everything written (the run log included), prints "\n Console input has
// ended.\n" on the standard error stream and ends the process with status 1.
[[noreturn]] void endAtConsoleInputEnd();

// The "Press 'Enter'" confirmation: reads `count` characters and discards them;
// returns at once at end of input. Returns false when input has ended.
bool readConfirmation(int count);

}  // namespace designopt
