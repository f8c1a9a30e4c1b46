// The run log "log<month><day><year>.dat": the append-only text record of every
// design run on one date line of "input.dat". It is opened once per run of
// optimiseDesign, receives the header, the iteration blocks and the closing block,
// and is closed when the run ends. Nothing ever truncates it, so every run on the
// same date adds to the same file. The texts and layout of its blocks, and their
// writers, are in runlog/run_log_format.h, which the report's reader shares.
#pragma once

#include <cstdio>
#include <string>

#include "runlog/run_log_format.h"

namespace designopt {

// "log%s%s%s.dat" from the three date words, in that order.
std::string runLogName(const char* month, const char* day, const char* year);

// Opens the run log named after the date words for appending and has it flushed
// before every console read and launcher run (platform/waiting.h). When it cannot be
// opened, prints "Data file log*.dat not found!\n" on the standard output and ends
// the process with exit status 1.
std::FILE* openRunLog(const char* month, const char* day, const char* year);

// Closes the run log (if open) and clears the handle.
void closeRunLog(std::FILE*& log);

}  // namespace designopt
