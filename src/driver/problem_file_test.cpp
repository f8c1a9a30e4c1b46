#include "driver/problem_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/run_log.h"
#include "platform/date_text.h"

namespace designopt {
namespace {

// Every test works in a fresh temporary directory, so "input.dat" and the run logs
// never touch the source tree or each other.
class ProblemFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::current_path();
    char pattern[] = "/tmp/designopt_problem_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(dir_);
  }

  static void writeText(const char* name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string readText(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path home_;
  std::filesystem::path dir_;
};

// The console's problem for length 48, tolerance 0.005 (read in single precision)
// and room temperature 70.
const double kConsoleLower[3] = {48.0 * 0.5, static_cast<double>(0.005f) * 0.8, 70.0};
const double kConsoleUpper[3] = {48.0 * (4.0 / 3.0), static_cast<double>(0.005f) * (4.0 / 3.0),
                                 75.0};

const char kConsoleProblem[] =
    "March 05 24\n"
    "The number of variables\n"
    "3\n"
    "24.000 64.000\n"
    "  0.004  0.007\n"
    " 70.000 75.000\n";

const char kConsoleHeader[] =
    "\nThe number of variables is 3\n\n"
    "Ranges of the variables\n"
    "24.000000\t0.004000\t70.000000\t\n"
    "64.000000\t0.007000\t75.000000\t\n"
    "The initial seed is 0\n";

TEST_F(ProblemFileTest, WriterCreatesTheConsoleProblemAfresh) {
  writeText("input.dat", std::string(500, 'x'));
  ASSERT_TRUE(writeProblemFile("March 05 24", kConsoleLower, kConsoleUpper));
  EXPECT_EQ(readText("input.dat"), kConsoleProblem);

  // Dated with today's local date text on line 1.
  ASSERT_TRUE(writeProblemFile(kConsoleLower, kConsoleUpper));
  const std::string text = readText("input.dat");
  EXPECT_EQ(text.substr(0, text.find('\n')), localDateText());
}

TEST_F(ProblemFileTest, WriterReportsAFileItCannotCreate) {
  std::filesystem::create_directory("input.dat");
  EXPECT_FALSE(writeProblemFile("March 05 24", kConsoleLower, kConsoleUpper));
}

TEST_F(ProblemFileTest, ConsoleProblemReadsBackAndTwoRunsAppendToOneLog) {
  ASSERT_TRUE(writeProblemFile("March 05 24", kConsoleLower, kConsoleUpper));
  for (int run = 1; run <= 2; ++run) {
    DesignState state;
    std::FILE* log = readProblemFile(state);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(state.nVars, 3);
    EXPECT_EQ(state.nCoefs, 10);
    EXPECT_EQ(state.seed, 0);
    const double lower[] = {24.0, 0.004, 70.0};
    const double upper[] = {64.0, 0.007, 75.0};
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(state.prevLower[j], lower[j - 1]);
      EXPECT_EQ(state.curLower[j], lower[j - 1]);
      EXPECT_EQ(state.prevUpper[j], upper[j - 1]);
      EXPECT_EQ(state.curUpper[j], upper[j - 1]);
    }
    EXPECT_EQ(state.points.rowHi(), kPointCapacity);
    EXPECT_EQ(state.normPoints.rowHi(), kPointCapacity);
    EXPECT_EQ(state.funcValues.hi(), kPointCapacity);
    EXPECT_EQ(state.extraPoints.rowHi(), 10);
    EXPECT_EQ(state.coefs.hi(), 10);
    if (run == 1) std::fprintf(log, "closing block of run 1\n");
    closeRunLog(log);
    EXPECT_EQ(log, nullptr);
    releaseDesignState(state);
    EXPECT_FALSE(state.points.allocated());
  }
  EXPECT_EQ(readText("logMarch0524.dat"),
            std::string(kConsoleHeader) + "closing block of run 1\n" + kConsoleHeader);
}

TEST_F(ProblemFileTest, ReaderToleratesLayoutDateSpacingAndAnyLabel) {
  struct Case {
    const char* text;
    const char* logName;
    double bounds[6];
  };
  const std::string longLabel(150, 'L');
  const std::string longLabelProblem = "March 05 24\n" + longLabel + "\n3\n1 2\n3 4\n5 6\n";
  const Case cases[] = {
      {"March 05 24\nThe number of variables\n3\n1 2 3 4 5 6\n", "logMarch0524.dat",
       {1, 2, 3, 4, 5, 6}},
      {"March\t05\t\t24\t\nThe number of variables\n3\n1\n2\n3\n4\n5\n6", "logMarch0524.dat",
       {1, 2, 3, 4, 5, 6}},
      {"  March    05     24   \nany text at all, %d %s 99\n3\n -1.5 2.25\n\t0 0\n7e1 7.5e1\n",
       "logMarch0524.dat",
       {-1.5, 2.25, 0, 0, 70, 75}},
      {longLabelProblem.c_str(), "logMarch0524.dat", {1, 2, 3, 4, 5, 6}},
      {"SeptemberOverlongWord 5 2024\nThe number of variables\n3\n1 2 3 4 5 6\n",
       "logSeptemberOv52024.dat",
       {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    writeText("input.dat", c.text);
    DesignState state;
    std::FILE* log = readProblemFile(state);
    closeRunLog(log);
    EXPECT_TRUE(std::filesystem::exists(c.logName));
    ASSERT_EQ(state.nVars, 3);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(state.curLower[j], c.bounds[2 * j - 2]);
      EXPECT_EQ(state.curUpper[j], c.bounds[2 * j - 1]);
    }
    std::filesystem::remove(c.logName);
  }
}

// Runs the reader in the death-test child with its standard output carried on the
// stream the death test captures (and its standard error discarded), so the matcher
// sees exactly what the reader printed on the standard output.
void readWithStandardOutputCaptured() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  const int discard = open("/dev/null", O_WRONLY);
  dup2(discard, STDERR_FILENO);
  DesignState state;
  readProblemFile(state);
  std::printf("the reader returned\n");
  std::exit(0);
}

TEST_F(ProblemFileTest, UnusableProblemEndsTheRunWithStatusOne) {
  const std::string kReadError = "Error: reading input.dat has error!\n";
  const std::string head = "March 05 24\nThe number of variables\n";
  struct Case {
    const char* what;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"count 0", head + "0\n", kReadError},
      {"count 2", head + "2\n1 2\n3 4\n", kReadError},
      {"count 21", head + "21\n" + std::string(42 * 2, ' '), kReadError},
      {"unreadable count", head + "three\n1 2 3 4 5 6\n", kReadError},
      {"unreadable bound", head + "3\n1 2\n3 x\n5 6\n", kReadError},
      {"missing bound", head + "3\n1 2\n3 4\n5\n", kReadError},
      {"not-a-number bound", head + "3\n1 2\nnan 4\n5 6\n", kReadError},
      {"lower above upper", head + "3\n1 2\n4 3\n5 6\n", kReadError},
      {"no date line", "", kReadError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeText("input.dat", c.text);
    EXPECT_EXIT(readWithStandardOutputCaptured(), ::testing::ExitedWithCode(1),
                ::testing::Eq(c.message));
  }
}

TEST_F(ProblemFileTest, MissingProblemFileOrLogEndsTheRunWithStatusOne) {
  EXPECT_EXIT(readWithStandardOutputCaptured(), ::testing::ExitedWithCode(1),
              ::testing::Eq(std::string("Data file input.dat not found!\n")));

  writeText("input.dat", kConsoleProblem);
  std::filesystem::create_directory("logMarch0524.dat");
  EXPECT_EXIT(readWithStandardOutputCaptured(), ::testing::ExitedWithCode(1),
              ::testing::Eq(std::string("Data file log*.dat not found!\n")));
}

// The parsing step alone: it says how far it got instead of ending the process, and
// a refused count or bound still leaves the date words that name the run log.
TEST_F(ProblemFileTest, ParsingTellsAMissingDateFromARefusedProblem) {
  const std::string head = "March 05 24\nThe number of variables\n";
  struct Case {
    std::string text;
    ProblemFileStatus status;
  };
  const Case cases[] = {
      {head + "3\n1 2 3 4 5 6\n", ProblemFileStatus::Read},
      {"March 05", ProblemFileStatus::BadDate},
      {head + "21\n", ProblemFileStatus::BadProblem},
      {head + "3\n1 2\n3 inf\n5 6\n", ProblemFileStatus::BadProblem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::FILE* in = std::tmpfile();
    ASSERT_NE(in, nullptr);
    std::fputs(c.text.c_str(), in);
    std::rewind(in);
    ProblemFileContents problem;
    EXPECT_EQ(parseProblemFile(in, problem), c.status);
    std::fclose(in);
    if (c.status == ProblemFileStatus::BadDate) continue;
    EXPECT_STREQ(problem.month, "March");
    EXPECT_STREQ(problem.day, "05");
    EXPECT_STREQ(problem.year, "24");
  }
}

TEST_F(ProblemFileTest, EqualBoundsAreAccepted) {
  writeText("input.dat", "March 05 24\nThe number of variables\n3\n5 5\n0.004 0.004\n70 70\n");
  DesignState state;
  std::FILE* log = readProblemFile(state);
  closeRunLog(log);
  EXPECT_EQ(state.curLower[2], 0.004);
  EXPECT_EQ(state.curUpper[2], 0.004);
}

}  // namespace
}  // namespace designopt
