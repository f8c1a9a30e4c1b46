// Line and number reading shared by the two text files of the built-in cost
// workbook: the cost sheet and "outexcel.dat". Both arrive as raw bytes from a file
// a person or another program wrote, so nothing here assumes a terminator, a line
// length or a well-formed number.
#pragma once

#include <cstddef>
#include <string>

namespace designopt {

// Walks a text one line at a time. A line ends at '\n'; a '\r' before it (CR LF)
// is dropped. The last line need not end with '\n'.
struct LineCursor {
  const char* text;  // the whole text, not NUL-terminated
  std::size_t size;  // its length in bytes
  std::size_t next;  // offset of the next line to hand out
  int lineNumber;    // 1-based number of the line last handed out
};

LineCursor startLines(const char* text, std::size_t size);
bool nextLine(LineCursor& cursor, std::string& line);

// The text without leading and trailing blanks (spaces, tabs, CR, vertical tab, form feed).
std::string trimBlanks(const std::string& text);

// A whole token as a finite double: no trailing characters, not "inf" or "nan",
// no overflow.
bool parseFiniteNumber(const std::string& token, double& value);

// A whole token as a decimal int within int's range.
bool parseWholeCount(const std::string& token, int& value);

}  // namespace designopt
