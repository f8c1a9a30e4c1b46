// What designopt writes before it waits. Every console read and every launcher run
// can be the last thing designopt does (the designer closes the window, presses
// Ctrl-C, or the machine is switched off), so before each one the standard streams
// and every file registered here are flushed: a designopt stopped while it waits
// leaves everything it had written.
#pragma once

#include <cstdio>

namespace designopt {

// Registers an output file (the run log) to be flushed before every wait. The file
// stays registered until forgetOutputBeforeWaits; registering it twice is harmless.
void keepOutputFlushedBeforeWaits(std::FILE* file);

// Removes a file from the registry, before it is closed.
void forgetOutputBeforeWaits(std::FILE* file);

// Flushes every registered file, then the standard output and the standard error
// stream, so that a prompt reaches the console only after the log is on disk. Called
// by the console-answer layer before each read and before each command run.
void flushBeforeWaiting();

}  // namespace designopt
