// The demo session of examples/demo-answers.txt on the built launchers and their
// built-in cost workbook: two design iterations with a cut in each, the point
// augmentation between them, and a satisfied designer who ends designopt.
#include <fstream>
#include <sstream>
#include <string>

#include "session_harness.h"

namespace designopt_tests {
namespace {

using DemoSessionTest = ProgramSessionTest;

TEST_F(DemoSessionTest, DemoAnswersRunTwoIterationsWithTheBuiltLaunchers) {
  std::ifstream in(DESIGNOPT_SOURCE_DIR "/examples/demo-answers.txt", std::ios::binary);
  std::ostringstream answers;
  answers << in.rdbuf();
  ASSERT_FALSE(answers.str().empty());

  const SessionResult r = runWithBuiltLaunchers(answers.str());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("Warning:"), std::string::npos) << r.err;
  EXPECT_EQ(countOf(r.out, "Design Iteration"), 2);
  EXPECT_EQ(countOf(r.out, "is chosen as the cutting value."), 2);
  EXPECT_EQ(r.out.find("Input your cutting value:"), std::string::npos);
  EXPECT_NE(r.out.find("\n--nNewPoint = "), std::string::npos);
  EXPECT_EQ(r.out.find("The design space has not been reduced yet!"), std::string::npos);
  EXPECT_EQ(countOf(r.out, "Performance satisfactory!!\n"), 1);
  EXPECT_EQ(countOf(r.out, "\n Continue? Yes/No (y/n): "), 1);

  const std::string log = runLog();
  EXPECT_NE(log.find("\n\n --- The number of new LHDs is "), std::string::npos);
  EXPECT_EQ(countOf(log, "\n ---------- Points Summary in this Iteration ---------\n"), 2);
  EXPECT_NE(log.find("\n\n The best design is:\n"), std::string::npos);
  EXPECT_NE(readFile("outexcel.dat").find(" Pro/E To Excel\n"), std::string::npos);
  EXPECT_NE(readFile("ProIn.dat"), "");
}

}  // namespace
}  // namespace designopt_tests
