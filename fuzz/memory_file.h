// Hands a fuzz input to a reader that takes a FILE*: the bytes are opened as a
// read-only memory stream, so the reader sees them exactly as it would see a file
// of that content, with no file written. fmemopen is POSIX; the fuzz targets are
// built on Linux only, and the program's own code keeps to standard C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace designopt {

// The input's own copy, so that the stream never reads past the fuzzer's buffer and
// an empty input is an empty file. Keep it alive while the stream is open.
inline std::FILE* openBytes(const std::uint8_t* data, std::size_t size, std::vector<char>& copy) {
  copy.assign(data, data + size);
  copy.push_back('\0');  // fmemopen needs a buffer even for an empty file
  return fmemopen(copy.data(), size, "r");
}

}  // namespace designopt
