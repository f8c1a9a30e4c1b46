#include "costworkbook/design_pricing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "fixtures/exchange_fixture.h"

namespace designopt {
namespace {

// Round prices that make the 48 by 2 grille's bill easy to check by hand.
constexpr CostSheet kTestPrices = {0.12, 0.06, 0.125, 0.10, 0.35, 0.18, 4.0, 0.010};

ExchangeDesign parsed(const std::string& text) {
  ExchangeDesign design{};
  std::string problem;
  EXPECT_TRUE(parseExchangeText(text.data(), text.size(), design, problem)) << problem;
  return design;
}

Bill priced(const ExchangeDesign& design, const CostSheet& sheet = kTestPrices) {
  Bill bill{};
  std::string problem;
  EXPECT_TRUE(priceDesign(design, sheet, bill, problem)) << problem;
  return bill;
}

TEST(DesignPricing, PricesTheExchangeFileOfA48By2Grille) {
  const ExchangeDesign design = parsed(kExchange48By2);
  EXPECT_EQ(design.tubeNumber, 5);
  EXPECT_EQ(design.thickness, 0.125);
  EXPECT_EQ(design.tolerance, 0.008);
  EXPECT_EQ(design.frameCorner, 3.125);
  EXPECT_EQ(design.frameSide, 49.125);
  EXPECT_EQ(design.mandrelBar, 48.0);
  EXPECT_EQ(design.supportBar, 1.5);
  EXPECT_EQ(design.tube, 1.625);
  EXPECT_EQ(design.clip, 10);
  EXPECT_EQ(design.barNumber, 4);

  const Bill bill = priced(design);
  // sides 2 × 49.125 × 0.12, corners 2 × 3.125 × 0.12, bars 4 × 48 × 0.06,
  // support 1.5 × 0.10, tubes 5 × 1.625 × 0.35, clips 10 × 0.18, premium 4 × 0.010 / 0.008
  const double expected[kBillLineCount] = {11.79, 0.75, 11.52, 0.15, 2.84375, 1.8, 5.0};
  for (int i = 0; i < kBillLineCount; ++i) {
    EXPECT_NEAR(bill.lines[i].price, expected[i], 1e-12) << bill.lines[i].part;
  }
  EXPECT_NEAR(bill.total, 33.85375, 1e-12);

  const std::string shown = formatBill(bill, "C:\\zrk\\quva source\\QUVA2002.xls");
  EXPECT_NE(shown.find(" Cost workbook C:\\zrk\\quva source\\QUVA2002.xls, sheet ProData\n"),
            std::string::npos);
  EXPECT_NE(shown.find(" Mandrel bar              4      48.000     0.0600/in       11.52\n"),
            std::string::npos) << shown;
  EXPECT_NE(shown.find(" Clip                    10                 0.1800/pc        1.80\n"),
            std::string::npos) << shown;
  EXPECT_NE(shown.find(" Total"), std::string::npos);
  EXPECT_NE(shown.find("33.85\n"), std::string::npos) << shown;
}

TEST(DesignPricing, MandrelBarsCostInProportionToTheirThickness) {
  ExchangeDesign design = parsed(kExchange48By2);
  const double thin = priced(design).lines[2].price;
  design.thickness = 0.25;
  EXPECT_NEAR(priced(design).lines[2].price, 2 * thin, 1e-12);
}

TEST(DesignPricing, CostRisesWithLengthAndFallsAsTheToleranceLoosens) {
  ExchangeDesign design = parsed(kExchange48By2);
  double previous = 0.0;
  for (double length = 24.0; length <= 64.0; length += 4.0) {
    design.mandrelBar = length;
    design.frameSide = length + 1.125;
    const double cost = priced(design).total;
    EXPECT_GT(cost, previous) << "length " << length;
    previous = cost;
  }
  design = parsed(kExchange48By2);
  previous = priced(design).total;
  for (double tolerance = 0.009; tolerance <= 0.02; tolerance += 0.001) {
    design.tolerance = tolerance;
    const double cost = priced(design).total;
    EXPECT_LT(cost, previous) << "tolerance " << tolerance;
    previous = cost;
  }
}

TEST(DesignPricing, ReadsTheExchangeFileByItsKeysInAnyOrderWithCrLf) {
  const std::string shuffled =
      "BarNumber\t\t 4\r\n"
      " Clip 10\r\n"
      "date line\r\n"
      "\r\n"
      "  Tube\t1.625\r\n"
      " SupportBar\t\t   1.500\r\n"
      " MandrelBar\t\t  48.000\r\n"
      " FrameSide\t\t  49.125\r\n"
      " FrameCorner\t\t   3.125\r\n"
      " tolerance\t\t   0.008\r\n"
      " thickness\t\t   0.125\r\n"
      " TubeNumber\t\t 5";
  const ExchangeDesign a = parsed(kExchange48By2);
  const ExchangeDesign b = parsed(shuffled);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(DesignPricing, RefusesAnIncompleteOrImpossibleDesign) {
  const std::string whole = kExchange48By2;
  auto replaced = [&whole](const std::string& from, const std::string& to) {
    std::string text = whole;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string text;
    const char* problem;
  } cases[] = {
      {"", "no value for TubeNumber"},
      {replaced(" BarNumber\t\t 4\n", ""), "no value for BarNumber"},
      {whole.substr(0, whole.find(" Tube\t")), "no value for Tube"},  // cut short
      {whole + " Clip\t\t 12\n", "line 17: Clip given twice"},
      {replaced("49.125", "forty-nine"), "FrameSide is not a number"},
      {replaced("49.125", "nan"), "FrameSide is not a number"},
      {replaced("49.125", "1e400"), "FrameSide is not a number"},
      {replaced("49.125", std::string(5000, '4')), "FrameSide is not a number"},
      {replaced(" Clip\t\t 10", " Clip\t\t 10.5"), "Clip is not a whole number"},
      {replaced(" Clip\t\t 10", " Clip\t\t 99999999999"), "Clip is not a whole number"},
      {replaced(" Clip\t\t 10", " Clip"), "Clip is not a whole number"},
      {replaced(" BarNumber\t\t 4", " BarNumber\t\t -4"), "BarNumber is negative"},
      {replaced("48.000", "-48.000"), "MandrelBar is negative"},
      {replaced("0.008", "0.000"), "tolerance must be greater than zero"},
  };
  for (const auto& c : cases) {
    ExchangeDesign design{};
    std::string problem;
    EXPECT_FALSE(parseExchangeText(c.text.data(), c.text.size(), design, problem)) << c.problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << "got: " << problem;
  }
}

TEST(DesignPricing, RefusesACostThatIsNotAFiniteNumber) {
  ExchangeDesign design = parsed(kExchange48By2);
  design.frameSide = 1e308;
  Bill bill{};
  std::string problem;
  EXPECT_FALSE(priceDesign(design, kTestPrices, bill, problem));
  EXPECT_EQ(problem, "the design is too large to price");
}

TEST(DesignPricing, CostFileCarriesTheCostAfterItsFirstLine) {
  const std::string path = ::testing::TempDir() + "design_pricing_ProIn_" + std::to_string(getpid()) + ".dat";
  const Bill bill = priced(parsed(kExchange48By2));
  std::string problem;
  ASSERT_TRUE(writeCostFile(path, bill, problem)) << problem;
  std::FILE* file = std::fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  char first[100];
  char second[100];
  ASSERT_NE(std::fgets(first, sizeof first, file), nullptr);
  ASSERT_NE(std::fgets(second, sizeof second, file), nullptr);
  EXPECT_EQ(std::fgetc(file), EOF);
  std::fclose(file);
  EXPECT_EQ(std::string(second).size(), std::strlen("33.8538\n"));  // "%.4f" and the line end
  EXPECT_NEAR(std::strtod(second, nullptr), 33.85375, 0.00005);
  std::remove(path.c_str());

  const std::string unwritable = ::testing::TempDir() + "no such directory/ProIn.dat";
  EXPECT_FALSE(writeCostFile(unwritable, bill, problem));
  EXPECT_NE(problem.find("ProIn.dat.new"), std::string::npos) << problem;

  // A cost file that cannot be replaced (here a directory in its place): the complete
  // temporary file is removed again and what stood there is untouched.
  const std::string occupied = ::testing::TempDir() + "design_pricing_occupied_" + std::to_string(getpid());
  ASSERT_TRUE(std::filesystem::create_directories(occupied + "/ProIn.dat/kept"));
  EXPECT_FALSE(writeCostFile(occupied + "/ProIn.dat", bill, problem));
  EXPECT_EQ(problem.find(occupied + "/ProIn.dat: "), 0u) << problem;
  EXPECT_FALSE(std::filesystem::exists(occupied + "/ProIn.dat.new"));
  EXPECT_TRUE(std::filesystem::is_directory(occupied + "/ProIn.dat/kept"));
  std::filesystem::remove_all(occupied);
}

}  // namespace
}  // namespace designopt
