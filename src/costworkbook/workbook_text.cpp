// Line and number reading for the built-in cost workbook's text files.
#include "costworkbook/workbook_text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace designopt {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// strtod and strtol accept leading blanks themselves; a token must not have them,
// nor be empty, nor hold a NUL byte that would end the conversion early.
bool isPlainToken(const std::string& token) {
  if (token.empty() || isBlank(token[0]) || token[0] == '\n') return false;
  return token.find('\0') == std::string::npos;
}

}  // namespace

LineCursor startLines(const char* text, std::size_t size) {
  return LineCursor{text, size, 0, 0};
}

bool nextLine(LineCursor& cursor, std::string& line) {
  if (cursor.next >= cursor.size) return false;
  std::size_t end = cursor.next;
  while (end < cursor.size && cursor.text[end] != '\n') ++end;
  line.assign(cursor.text + cursor.next, end - cursor.next);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  cursor.next = end < cursor.size ? end + 1 : end;
  ++cursor.lineNumber;
  return true;
}

std::string trimBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool parseFiniteNumber(const std::string& token, double& value) {
  if (!isPlainToken(token)) return false;
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(token.c_str(), &end);
  if (end != token.c_str() + token.size()) return false;
  if (errno == ERANGE && std::fabs(parsed) > 1.0) return false;  // overflow; underflow is harmless
  if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool parseWholeCount(const std::string& token, int& value) {
  if (!isPlainToken(token)) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(token.c_str(), &end, 10);
  if (end != token.c_str() + token.size()) return false;
  if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

}  // namespace designopt
