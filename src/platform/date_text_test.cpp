#include "platform/date_text.h"

#include <gtest/gtest.h>

namespace designopt {
namespace {

TEST(DateText, FullMonthTwoDigitDayAndYear) {
  std::tm when{};
  when.tm_year = 2003 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 5;
  EXPECT_EQ(formatDateText(when), "March 05 03");
  when.tm_year = 2024 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 31;
  EXPECT_EQ(formatDateText(when), "December 31 24");
}

TEST(DateText, LocalDateHasThreeWords) {
  const std::string text = localDateText();
  int blanks = 0;
  for (char c : text) blanks += c == ' ';
  EXPECT_EQ(blanks, 2) << text;
}

}  // namespace
}  // namespace designopt
