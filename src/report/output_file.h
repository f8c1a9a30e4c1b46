// Writing an output file whole or not at all: the text goes to a temporary file in the
// output's folder, which is renamed onto the output only once it is complete, so a
// failed or interrupted write never leaves a partial file under the output's name.
#pragma once

#include <string>

namespace designopt {

// Writes text to path through a temporary file beside it. On failure returns false
// with the reason in error, removes the temporary file and leaves path as it was.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace designopt
