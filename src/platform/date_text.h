// The date text of "input.dat" and "outexcel.dat": full month name, two-digit day
// and two-digit year ("%B %d %y"), in the C locale, e.g. "March 05 24".
#pragma once

#include <ctime>
#include <string>

namespace designopt {

std::string formatDateText(const std::tm& when);
// The current local date; recorded in the session journal, and taken from it when a
// run is resumed.
std::string localDateText();
// The clock's date itself, never journaled.
std::string clockDateText();

}  // namespace designopt
