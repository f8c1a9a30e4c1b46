#include "product/objective.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "fixtures/product_test_support.h"
#include "product/product_record.h"

namespace designopt {
namespace {

// Fake launchers first on PATH: each notes its run in "launches.log" and keeps a copy
// of the exchange file it was given; the fake Tallowin prices every design at 321.5.
class Objective : public ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    ASSERT_EQ(mkdir("bin", 0755), 0);
    writeLauncher("Prevada.exe",
                  "echo Prevada >> launches.log\n"
                  "cp outexcel.dat outexcel-prevada.dat\n");
    writeLauncher("Tallowin.exe",
                  "echo Tallowin >> launches.log\n"
                  "cp outexcel.dat outexcel-tallowin.dat\n"
                  "printf 'Cost of the design\\n  321.5\\n' > ProIn.dat\n");
    const char* path = std::getenv("PATH");
    previousPath_ = path != nullptr ? path : "";
    setenv("PATH", (directory_ + "/bin:" + previousPath_).c_str(), 1);

    // The worked design: width 2, pressure 0.1, thickness 0.125, room 70.
    productSpec.grilleLength = 40;
    productSpec.tubeNumber = 5;
    productSpec.grilleWidth = 2;
    productSpec.tolerance = 0.01;
    productSpec.thickness = 0.125;
    productSpec.maxNC = 25;
    productSpec.requiredCfm = 100;
    productSpec.staticPressure = 0.1;
    productSpec.roomTemperature = 70;
    productSpec.objectiveCallNumber = 1;
  }
  void TearDown() override {
    setenv("PATH", previousPath_.c_str(), 1);
    ScratchDirectoryTest::TearDown();
  }

  void writeLauncher(const std::string& name, const std::string& body) {
    writeFile("bin/" + name, "#!/bin/sh\n" + body);
    ASSERT_EQ(chmod(("bin/" + name).c_str(), 0755), 0);
  }

  // Prices (length, tolerance, Tc) and returns the cost; `printed` gets the console.
  double price(double length, double tolerance, double tc, std::string& printed) {
    DVector x = dvector(1, 3);
    x[1] = length;
    x[2] = tolerance;
    x[3] = tc;
    ::testing::internal::CaptureStdout();
    const double cost = evaluateObjective(x);
    printed = ::testing::internal::GetCapturedStdout();
    return cost;
  }

  // Prices the worked candidate (48 in, 0.008, Tc 72) with the console as it is: for
  // the death tests, whose child ends inside the pricing.
  static void priceTheWorkedCandidate() {
    DVector x = dvector(1, 3);
    x[1] = 48;
    x[2] = 0.008;
    x[3] = 72;
    evaluateObjective(x);
  }

  std::string rest() {
    std::string s;
    for (int c; (c = std::getchar()) != EOF;) s.push_back(static_cast<char>(c));
    return s;
  }

  std::string previousPath_;
};

TEST_F(Objective, FirstPricingShowsTheRequestedDesignThenPricesTheCandidate) {
  feedStandardInput("12345");
  std::string printed;
  EXPECT_EQ(price(48, 0.008, 72, printed), 321.5);
  EXPECT_EQ(printed,
            " Initial Cost is .... check in excel! \n"
            " Done!...Press 'Enter'\n"
            " Vel 100.00 NC 21.647218\n"
            " Tx 70.000000, Tc 72.000000\n"
            " L 48.00 Velocity 101.26 TN -19.0 Tol 0.00800\n\n"
            " Please Wait While Excel Cost is Running....\n"
            " Done!...Press 'Enter'\n");
  EXPECT_EQ(readFile("launches.log"), "Prevada\nTallowin\n");
  // The requested design went to Prevada, the candidate to Tallowin.
  const std::string requested = readFile("outexcel-prevada.dat");
  EXPECT_NE(requested.find(" tolerance\t\t   0.010\n"), std::string::npos);
  EXPECT_NE(requested.find(" MandrelBar\t\t  40.000\n"), std::string::npos);
  const std::string candidate = readFile("outexcel-tallowin.dat");
  EXPECT_NE(candidate.find(" tolerance\t\t   0.008\n"), std::string::npos);
  EXPECT_NE(candidate.find(" MandrelBar\t\t  48.000\n"), std::string::npos);
  EXPECT_EQ(productSpec.tolerance, 0.008);
  EXPECT_EQ(productSpec.barNumber, 4);
  EXPECT_EQ(productSpec.objectiveCallNumber, 2);

  // A later pricing runs only Tallowin and reads one confirmation character.
  EXPECT_EQ(price(36, 0.009, 73, printed), 321.5);
  EXPECT_EQ(printed.substr(0, 5), " Vel ");
  EXPECT_NE(printed.find(" L 36.00 Velocity "), std::string::npos);
  EXPECT_EQ(readFile("launches.log"), "Prevada\nTallowin\nTallowin\n");
  EXPECT_EQ(productSpec.objectiveCallNumber, 3);
  EXPECT_EQ(rest(), "5");  // 2 + 1 + 1 characters read
}

// A pricing that leaves no cost never takes an old one: the stale file is removed
// before the launcher runs, and the designer is asked to have the design priced
// again. The retry reads exactly two characters (its own prompt and the
// confirmation), runs Tallowin again and does not rewrite the exchange file.
TEST_F(Objective, FailedPricingIsPricedAgainAndNeverTakesAnOldCost) {
  // Tallowin fails on its first run and prices on its second.
  writeLauncher("Tallowin.exe",
                "echo Tallowin >> launches.log\n"
                "if [ -f failed-once ]; then printf 'Cost\\n  98.5\\n' > ProIn.dat; exit 0; fi\n"
                "touch failed-once\n"
                "exit 3\n");
  writeFile("ProIn.dat", "Cost\n42\n");
  productSpec.objectiveCallNumber = 2;
  feedStandardInput("abcd");
  std::string printed;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(price(48, 0.008, 72, printed), 98.5);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Warning: Tallowin.exe ended with status 3\n");
  const std::string pricing =
      " Please Wait While Excel Cost is Running....\n"
      " Done!...Press 'Enter'\n";
  EXPECT_EQ(printed.substr(printed.find(" Please Wait")),
            pricing + "Data file ProIn.dat not found !\n"
                      " Press 'Enter' to price the design again\n" +
                pricing);
  EXPECT_EQ(readFile("launches.log"), "Tallowin\nTallowin\n");
  EXPECT_EQ(rest(), "d");  // confirmation, retry prompt, confirmation
}

// End of input at the retry prompt ends the run with the message and status 1.
TEST_F(Objective, EndOfInputAtThePricingRetryEndsTheRun) {
  writeLauncher("Tallowin.exe", "exit 3\n");
  writeFile("ProIn.dat", "Cost\n42\n");
  productSpec.objectiveCallNumber = 2;
  EXPECT_EXIT(
      {
        feedStandardInput("\n");
        std::freopen((directory_ + "/out.txt").c_str(), "w", stdout);
        priceTheWorkedCandidate();
      },
      ::testing::ExitedWithCode(1),
      "Warning: Tallowin.exe ended with status 3\n\n Console input has ended.\n$");
  const std::string out = readFile("out.txt");
  EXPECT_EQ(out.substr(out.find(" Done!")),
            " Done!...Press 'Enter'\n"
            "Data file ProIn.dat not found !\n"
            " Press 'Enter' to price the design again\n");
}

// A cost file that cannot be removed cannot be trusted: the run ends before any
// launcher runs.
TEST_F(Objective, CostFileThatCannotBeReplacedEndsTheRun) {
  ASSERT_EQ(mkdir("ProIn.dat", 0755), 0);
  writeFile("ProIn.dat/kept", "");
  productSpec.objectiveCallNumber = 2;
  EXPECT_EXIT(
      {
        std::freopen((directory_ + "/out.txt").c_str(), "w", stdout);
        priceTheWorkedCandidate();
      },
      ::testing::ExitedWithCode(1), "");
  const std::string out = readFile("out.txt");
  EXPECT_EQ(out.substr(out.find(" Please Wait")),
            " Please Wait While Excel Cost is Running....\n"
            "Cannot replace file: ProIn.dat!\n");
  EXPECT_EQ(readFile("launches.log"), "");
}

TEST_F(Objective, ExchangeFileThatCannotBeWrittenEndsTheRun) {
  ASSERT_EQ(mkdir("outexcel.dat", 0755), 0);
  EXPECT_EXIT(
      {
        std::freopen((directory_ + "/out.txt").c_str(), "w", stdout);
        priceTheWorkedCandidate();
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(readFile("out.txt"), "Cannot find file: outexcel.dat!\n");
  EXPECT_EQ(readFile("launches.log"), "");  // no launcher ran
}

}  // namespace
}  // namespace designopt
