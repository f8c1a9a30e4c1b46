// Console input that ends early: at a number prompt designopt ends with status 1 and
// its message; anywhere in the optimisation the finishing answers take the design to
// its end, and end of input at the continue word ends designopt normally. It never
// waits or spins.
#include <string>

#include "session_harness.h"

namespace designopt_tests {
namespace {

using InputEndingTest = ProgramSessionTest;

TEST_F(InputEndingTest, AtANumberPromptTheProgramEndsWithStatusOne) {
  const char* const inputs[] = {
      "",
      "48\n",
      "48\n2\n0.005\n30\n100\n",
      "48\n2\n0.005\n30\n100\n0.1\n",
      "48\n2\n0.005\n30\n100\n0.1\n2\n",  // at the new thickness value
  };
  for (const char* input : inputs) {
    const SessionResult r = run(input, 30);
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.err, "\n Console input has ended.\n") << input;
    EXPECT_EQ(r.out.find("Design Iteration"), std::string::npos) << input;
  }
}

TEST_F(InputEndingTest, InTheOptimisationTheDesignFinishesByItself) {
  const std::string console = standardAnswers();
  const std::string inputs[] = {
      console,                                // before the first pricing
      console + "\n\n\n\n",                   // among the initial pricings
      console + std::string(11, '\n') + "1",  // at the cutting choice
      console + std::string(11, '\n') + "1\n0\n\n",  // at the happy prompt
      console + oneIterationAnswers(),        // at the continue word
  };
  for (const std::string& input : inputs) {
    const SessionResult r = run(input);
    ASSERT_EQ(r.status, 0) << input << r.err;
    EXPECT_NE(r.out.find("\n\n The best design is at: "), std::string::npos) << input;
    EXPECT_NE(r.out.find(" Check Optimum Production Cost In Excel\n\n"), std::string::npos);
    EXPECT_EQ(countOf(r.out, "\n Continue? Yes/No (y/n): "), 1) << input;
    EXPECT_NE(readFile("outexcel.dat").find(" Pro/E To Excel"), std::string::npos);
    EXPECT_NE(runLog().find("\n\n The best design is:\n"), std::string::npos);
    EXPECT_EQ(r.err.find("Console input has ended"), std::string::npos) << input;
  }
}

}  // namespace
}  // namespace designopt_tests
