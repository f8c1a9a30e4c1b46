// Whole designs through the console: the transcript, the run log, "input.dat" and
// "outexcel.dat" of a normal design; two designs in one run; the length bands; the
// default-or-new choices; the concave path; failing launchers; an uncreatable
// problem file; a variable range of no width.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "session_harness.h"

namespace designopt_tests {
namespace {

using DesignSessionTest = ProgramSessionTest;

TEST_F(DesignSessionTest, OneDesignRunsToItsVerdict) {
  const SessionResult r = run(standardAnswers() + oneIterationAnswers() + "n\n");
  ASSERT_EQ(r.status, 0) << r.err;

  // The console dialogue, in order.
  const char* const inOrder[] = {
      "\n ***************** QUVA 27K Series Product Design ***************\n\n"
      " Design Grille Length (4-96 inch): \n"
      " Design Grille Width (choose 1.5, 2, 2.5, 3, 3.5, 4, 5, 6 inch): \n"
      " Design Tolerance (0.005-0.01): \n"
      " Maximum Allowable NC Value (0-50): \n"
      " Air Supply Requirement Per Diffuser (0-1000 CFM): \n"
      " Static Pressure Value (0.01-0.3 in H2O): \n"
      " Design Mandrel Bar Thickness (1 Default 0.125 2 New Value): \n"
      " Design Room Temperature (1 Default 70.00 2 New Value): ",
      "\n\n %%%%%\t Design Iteration 1  %%%%%\n\n",
      " Initial Cost is .... check in excel! \n",
      "\n Continue cutting, return; Otherwise, enter '0':  ",
      " and Real fOpt = ",
      "\n\n The total number of objective function evaluations is 11",
      "\n\n To reach optimum, the total number of function evaluations is ",
      "\n\n The globlal minimum of the objective function is ",
      "\n\n *****  Are you happy with the results? No: return, Yes: Enter 'y' : ",
      "\n\n The best design is at: ",
      " Check Optimum Production Cost In Excel\n\n",
      " Check NC = ",
      "\n Continue? Yes/No (y/n): ",
  };
  std::size_t at = 0;
  for (const char* text : inOrder) {
    const std::size_t found = r.out.find(text, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text;
    at = found;
  }
  EXPECT_EQ(countOf(r.out, "Design Iteration"), 1);
  EXPECT_NE(r.out.find("is chosen as the cutting value.\n\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Input your cutting value:"), std::string::npos);
  EXPECT_EQ(r.out.find("difficulty in cutting"), std::string::npos);
  EXPECT_EQ(countOf(r.out, "Performance satisfactory!!\n") +
                countOf(r.out, "Performance not satisfy!!\n"),
            1);
  EXPECT_EQ(countOf(readFile("tallowin-calls.txt"), "priced"), 11);

  // The problem file of length 48, tolerance 0.005 and the default room temperature.
  const std::string problem = readFile("input.dat");
  EXPECT_NE(problem.find("\nThe number of variables\n3\n24.000 64.000\n  0.004  0.007\n"
                         " 70.000 75.000\n"),
            std::string::npos)
      << problem;

  // The run log: header, iteration, the first Latin hypercube point of a fresh process
  // mapped into the ranges, the summary and the closing block.
  const std::string log = runLog();
  EXPECT_EQ(log.find("\nThe number of variables is 3\n\nRanges of the variables\n"
                     "24.000000\t0.004000\t70.000000\t\n64.000000\t0.007000\t75.000000\t\n"
                     "The initial seed is 0\n"),
            0u)
      << log;
  EXPECT_NE(log.find("\n\n ======== Design  Iteration 1 =========== \n\n"), std::string::npos);
  EXPECT_NE(log.find("\nThe fitted coefs are :\n"), std::string::npos);
  EXPECT_NE(log.find("Number of Experiments\n10\nPoint Matrix\n31.861712\t0.004204\t74.781794\t"),
            std::string::npos);
  EXPECT_NE(log.find("The last optimum with real function value is as below!\n"),
            std::string::npos);
  EXPECT_NE(log.find("\n\n The total number of objective function evaluations is 11"
                     "\n\n To reach optimum, the number of function evaluations is "),
            std::string::npos);
  const std::size_t best = log.find("\n\n The best design is:\n");
  ASSERT_NE(best, std::string::npos);

  // The exchange file carries the best length, the same that Quorvel was shown.
  const std::string bestLine = log.substr(best + 23);
  const double bestLength = std::stod(bestLine);
  char mandrelBar[64];
  std::snprintf(mandrelBar, sizeof mandrelBar, " MandrelBar\t\t %7.3f\n", bestLength);
  const std::string exchange = readFile("outexcel.dat");
  EXPECT_NE(exchange.find(mandrelBar), std::string::npos) << exchange;
  EXPECT_EQ(readFile("quorvel-saw.dat"), exchange);
  EXPECT_NE(r.out.find("\n\n The best design is at: " + bestLine.substr(0, bestLine.find('\t'))),
            std::string::npos);
}

TEST_F(DesignSessionTest, TwoDesignsAppendToOneRunLog) {
  const std::string design = standardAnswers() + oneIterationAnswers();
  const SessionResult r = run(design + "yes\n" + design + "no\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "QUVA 27K Series Product Design"), 2);
  EXPECT_EQ(countOf(r.out, "Continue? Yes/No (y/n): "), 2);
  // Each design shows the initial cost once and starts its counters afresh.
  EXPECT_EQ(countOf(r.out, " Initial Cost is .... check in excel! \n"), 2);
  EXPECT_EQ(countOf(r.out, "The total number of objective function evaluations is 11"), 2);

  const std::string log = runLog();
  EXPECT_EQ(countOf(log, "The number of variables is 3"), 2);
  const std::size_t firstClosing = log.find("\n\n The best design is:\n");
  const std::size_t secondHeader = log.find("\nThe number of variables is 3", 1);
  ASSERT_NE(firstClosing, std::string::npos);
  ASSERT_NE(secondHeader, std::string::npos);
  EXPECT_LT(firstClosing, secondHeader);
  EXPECT_EQ(countOf(log, "\n\n The best design is:\n"), 2);
}

TEST_F(DesignSessionTest, InvalidLengthsArePromptedAgain) {
  // Five lengths outside the bands, an answer that is no number, then 48; the input
  // ends at the width prompt.
  const SessionResult r = run("3.9\n12.5\n13\n49\n96.5\nabc\n48\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(countOf(r.out, "\n  Invalid Length Value!!  Re-enter Number...\n\n"), 5);
  EXPECT_EQ(countOf(r.out, " Design Grille Length (4-96 inch): "), 7);
  EXPECT_NE(r.out.find("\n  Invalid Length Value!!  Re-enter Number...\n\n"
                       " Design Grille Length (4-96 inch): "),
            std::string::npos);
  // The non-number brings the prompt back with no message and no line end before it.
  EXPECT_NE(r.out.find("Re-enter Number...\n\n Design Grille Length (4-96 inch): "
                       " Design Grille Length (4-96 inch): \n Design Grille Width"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "\n Console input has ended.\n");
  EXPECT_FALSE(fileExists("input.dat"));
}

TEST_F(DesignSessionTest, OnlyChoiceTwoAsksForANewValue) {
  struct Case {
    const char* choices;     // answers to the thickness and temperature choices
    const char* thickness;   // as written to the exchange file
    const char* tcRange;     // third range line of the problem file
    int newValuePrompts;
  };
  const Case cases[] = {
      {"1\n1\n", "   0.125", " 70.000 75.000\n", 0},
      {"0\n3\n", "   0.125", " 70.000 75.000\n", 0},
      {"-2\n2\n65\n", "   0.125", " 65.000 70.000\n", 1},
      {"2\n0.1\n-2\n", "   0.100", " 70.000 75.000\n", 1},
      {"2\n0.15\n2\n72.5\n", "   0.150", " 72.500 77.500\n", 2},
      // A word at a choice brings the choice prompt back; it is no choice at all.
      {"two\n2\n0.15\n1\n", "   0.150", " 70.000 75.000\n", 1},
  };
  for (const Case& c : cases) {
    // The input ends after the choices: the design then runs to its end by itself.
    const SessionResult r = run(std::string("48\n2\n0.005\n30\n100\n0.1\n") + c.choices);
    EXPECT_EQ(r.status, 0) << c.choices;
    EXPECT_EQ(countOf(r.out, " New Value: "), c.newValuePrompts) << c.choices;
    const std::string problem = readFile("input.dat");
    EXPECT_NE(problem.find(std::string("  0.007\n") + c.tcRange), std::string::npos)
        << c.choices << problem;
    EXPECT_NE(readFile("outexcel.dat").find(std::string(" thickness\t\t") + c.thickness),
              std::string::npos)
        << c.choices;
  }
}

// A cut that moves nothing (a level below the whole model) brings up the difficulty
// prompt; 'y' there adds n points "to help cutting", and the next cut ends the cycles.
TEST_F(DesignSessionTest, DifficultyInCuttingAddsPointsToHelp) {
  const SessionResult r = run(standardAnswers() + std::string(11, '\n') +
                              "0\n-1e9\n0\n"  // typed level, stop cutting
                              "y\n\n\n"        // more points; three confirmations
                              "1\n0\n"          // the next cycle's cut
                              "\ny\nn\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\n You seem to have difficulty in cutting, you need more points? "
                           "'y' or 'n' :"),
            1);
  EXPECT_EQ(r.out.find("Suspicious concave function"), std::string::npos);
  EXPECT_EQ(countOf(r.out, "\n Continue cutting, return; Otherwise, enter '0':  "), 2);
  EXPECT_NE(r.out.find("The total number of objective function evaluations is 14"),
            std::string::npos);
  const std::string log = runLog();
  EXPECT_EQ(countOf(log, "\n To help cutting, the Points Added:\n"), 1);
  EXPECT_EQ(log.find("To break the concave"), std::string::npos);
  EXPECT_EQ(countOf(log, "\nThe fitted coefs are :\n"), 2);
  EXPECT_NE(log.find("Number of Experiments\n13\n"), std::string::npos);
}

// A cost that curves downwards: the suspicious model brings up the terminate prompt;
// a return adds n points to break the concave and the cycles go on; the next cycle
// asks for more points at the difficulty prompt and then ignores the concavity, which
// ends the cycles without adding.
TEST_F(DesignSessionTest, SuspiciousConcaveModel) {
  useCostFormula(kConcaveCost);
  const SessionResult r = run(standardAnswers() + std::string(11, '\n') +
                              "1\n0\n"      // cut at the lowest value, stop cutting
                              "\n\n\n\n"  // return at the terminate prompt; confirmations
                              "0\n1e9\n0\n"  // typed level above the model, stop cutting
                              "y\n0\n"      // more points, then terminate
                              "\ny\nn\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\n Suspicious concave function occured, more points to be added "
                           "-----\n\n\n You can choose to terminate the cutting. No: return, "
                           "Yes: Enter '0' : "),
            2);
  EXPECT_EQ(countOf(r.out, "\n\n === Continue because suspicous concave function ===\n"), 1);
  EXPECT_EQ(countOf(r.out, "difficulty in cutting"), 1);
  EXPECT_EQ(r.out.find("WARNING"), std::string::npos);
  EXPECT_NE(r.out.find("The total number of objective function evaluations is 14"),
            std::string::npos);
  const std::string log = runLog();
  EXPECT_EQ(countOf(log, "\n To break the concave, the Points Added:\n"), 1);
  EXPECT_EQ(log.find("To help cutting"), std::string::npos);
  EXPECT_EQ(countOf(log, "\n\n You chose to ignore suspicious concave function.\n\n"), 1);
  EXPECT_NE(log.find("Number of Experiments\n13\n"), std::string::npos);
}

// No grille of the range can carry 1000 CFM: no point is feasible. The closing block
// keeps its figures, the log and the console say that no design was found, and
// nothing is written for the workbook, shown in Excel or judged.
TEST_F(DesignSessionTest, NoFeasibleDesignIsSaidSo) {
  writeLauncher("Quorvel.exe", "echo shown >> quorvel-calls.txt\n");
  const SessionResult r = run("48\n2\n0.005\n30\n1000\n0.1\n1\n1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n\n The globlal minimum of the objective function is 100000000.000000"),
            std::string::npos);
  EXPECT_TRUE(r.out.find("\n\n The best design is at: 100000000.000000\t100000000.000000\t"
                         "100000000.000000\t\n\n\n"
                         "\n No feasible design was found: nothing is written for the workbook.\n"
                         "\n Continue? Yes/No (y/n): ") != std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Check Optimum Production Cost In Excel"), std::string::npos);
  EXPECT_EQ(r.out.find("Performance"), std::string::npos);
  EXPECT_FALSE(fileExists("quorvel-calls.txt"));
  // The exchange file is the one the last pricing wrote (its candidate, not 1e8).
  EXPECT_EQ(readFile("outexcel.dat").find("100000000"), std::string::npos);
  const std::string log = runLog();
  const std::string closing =
      "\n\n The global minimum of the objective function is 100000000.000000\n\n The best "
      "design is:\n100000000.000000\t100000000.000000\t100000000.000000\t\n"
      "\n No feasible design was found.\n";
  ASSERT_GE(log.size(), closing.size());
  EXPECT_EQ(log.substr(log.size() - closing.size()), closing);
}

// The final exchange file and the verdict describe the best design, not the last
// candidate priced: a cost that is cheapest at the longest grilles makes the best a
// sampled point, while the constrained optimum priced last is another.
TEST_F(DesignSessionTest, BestDesignIsWhatIsWrittenAndJudged) {
  const SessionResult r = run(standardAnswers() + oneIterationAnswers() + "n\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // The best design's line on the console: length, tolerance, Tc.
  const std::string marker = "\n\n The best design is at: ";
  const std::size_t at = r.out.find(marker);
  ASSERT_NE(at, std::string::npos);
  double length = 0, tolerance = 0, tc = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str() + at + marker.size(), "%lf %lf %lf", &length, &tolerance,
                        &tc),
            3);
  // The last pricing's tolerance, from its " L ... Tol %6.5f" line.
  const std::size_t lastTol = r.out.rfind(" Tol ");
  ASSERT_NE(lastTol, std::string::npos);
  double lastTolerance = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str() + lastTol + 5, "%lf", &lastTolerance), 1);
  char written[32];
  std::snprintf(written, sizeof written, " tolerance\t\t %7.3f\n", tolerance);
  char lastWritten[32];
  std::snprintf(lastWritten, sizeof lastWritten, " tolerance\t\t %7.3f\n", lastTolerance);
  ASSERT_STRNE(written, lastWritten)
      << "the fixture must make the last candidate another design than the best";
  char lengthWritten[32];
  std::snprintf(lengthWritten, sizeof lengthWritten, " MandrelBar\t\t %7.3f\n", length);
  const std::string exchange = readFile("outexcel.dat");
  EXPECT_NE(exchange.find(written), std::string::npos) << exchange;
  EXPECT_NE(exchange.find(lengthWritten), std::string::npos) << exchange;

  // The verdict's NC margin is the one at the best length: 30 - NC(length).
  const double nc = 13.922 * std::pow(0.1, 0.3234) + (4.6011 * std::log(length) - 17.595) +
                    (4.566 * std::log(2.0) + 11.654);
  char verdict[64];
  std::snprintf(verdict, sizeof verdict, " Check NC = %6.4f ", 30 - nc);
  EXPECT_NE(r.out.find(verdict), std::string::npos) << r.out.substr(r.out.rfind(" Check NC"));
  // The verdict is computed silently: no pricing line after the closing block.
  EXPECT_EQ(r.out.find(" Vel ", at), std::string::npos);
}

TEST_F(DesignSessionTest, FailingLaunchersAreReportedAndTheRunGoesOn) {
  writeLauncher("Prevada.exe", "exit 3\n");
  writeLauncher("Quorvel.exe", "exit 4\n");
  const SessionResult r = run(standardAnswers() + oneIterationAnswers() + "n\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Warning: Prevada.exe ended with status 3\n"), std::string::npos);
  EXPECT_NE(r.err.find("Warning: Quorvel.exe ended with status 4\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n Continue? Yes/No (y/n): "), std::string::npos);
}

// Answers that cannot be a design bring the same prompt back: a number that is not
// finite at any number prompt (silently, its line discarded), and 0 or less at the
// width, tolerance, air supply, static pressure and new thickness prompts (the rest of
// the line still pending: "-5 100" gives 100). The problem written afterwards is the
// one of the good answers.
TEST_F(DesignSessionTest, AnswersThatCannotBeADesignBringThePromptBack) {
  struct Case {
    const char* input;   // the whole console input up to the first pricing
    const char* prompt;  // the prompt that comes back
    int shown;           // how often it is shown
  };
  const Case cases[] = {
      {"nan\ninf 5\n1e39\n48\n2\n0.005\n30\n100\n0.1\n1\n1\n",
       " Design Grille Length (4-96 inch): ", 4},
      {"48\nnan\ninf\n1e39\n-3\n0\n2\n0.005\n30\n100\n0.1\n1\n1\n",
       " Design Grille Width (choose 1.5, 2, 2.5, 3, 3.5, 4, 5, 6 inch): ", 6},
      {"48\n2\n-0.005\n0\nnan\n0.005\n30\n100\n0.1\n1\n1\n",
       " Design Tolerance (0.005-0.01): ", 4},
      {"48\n2\n0.005\nnan\n-inf\n30\n100\n0.1\n1\n1\n",
       " Maximum Allowable NC Value (0-50): ", 3},
      {"48\n2\n0.005\n30\n-5 100\n0.1\n1\n1\n",
       " Air Supply Requirement Per Diffuser (0-1000 CFM): ", 2},
      {"48\n2\n0.005\n30\n100\n0\n1e39\n0.1\n1\n1\n",
       " Static Pressure Value (0.01-0.3 in H2O): ", 3},
      {"48\n2\n0.005\n30\n100\n0.1\n2\n-3\n0\ninf\n0.125\n1\n",
       " New Value: ", 4},
      {"48\n2\n0.005\n30\n100\n0.1\n1\n2\nnan\n70\n", " New Value: ", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const SessionResult r = run(c.input);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countOf(r.out, c.prompt), c.shown);
    EXPECT_EQ(r.out.find("Invalid Length"), std::string::npos);
    EXPECT_EQ(readFile("input.dat").substr(readFile("input.dat").find('\n')),
              "\nThe number of variables\n3\n24.000 64.000\n  0.004  0.007\n 70.000 75.000\n")
        << readFile("input.dat");
    EXPECT_NE(r.out.find(" Vel 100.00 NC "), std::string::npos);
  }
}

TEST_F(DesignSessionTest, UncreatableProblemFileEndsTheProgram) {
  std::filesystem::create_directory(directory_ + "/input.dat");
  const SessionResult r = run(standardAnswers());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Cannot create file: input.dat!\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Design Iteration"), std::string::npos);
}

// A tolerance of 0.0001 writes its range as "  0.000  0.000": the variable's range has
// no width. Its points normalise to 0 instead of 0/0, so the fit, the searches and the
// best design stay numbers, and the design keeps the tolerance of its range.
TEST_F(DesignSessionTest, AToleranceRangeOfNoWidthKeepsEveryFigureANumber) {
  useCostFormula("10 + 0.01 * (m - 36) * (m - 36)");
  const SessionResult r = run("48\n2\n0.0001\n30\n100\n0.1\n1\n1\n" + oneIterationAnswers() + "n\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(readFile("input.dat").find("\n  0.000  0.000\n"), std::string::npos)
      << readFile("input.dat");
  const std::string log = runLog();
  for (const std::string* text : {&r.out, &log}) {
    EXPECT_EQ(text->find("nan"), std::string::npos) << *text;
    EXPECT_EQ(text->find("inf"), std::string::npos) << *text;
  }
  EXPECT_NE(r.out.find("R_square = 1.000000"), std::string::npos);
  EXPECT_NE(r.out.find("\n\n The best design is at: 47.40"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\t0.000000\t"), std::string::npos);
}

}  // namespace
}  // namespace designopt_tests
