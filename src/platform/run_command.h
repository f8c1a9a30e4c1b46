// Starting a launcher through the command interpreter.
#pragma once

namespace designopt {

// Flushes the standard output (the child writes to the same console), hands the
// command line to the command interpreter and waits for it to end. Returns the exit
// status as a shell reports it: the command's exit code, 127 when the interpreter
// cannot find or start it, 128 + the signal number when a signal ended it. A non-zero
// status is reported on the standard error stream as
// "Warning: <command> ended with status <status>".
int runCommand(const char* commandLine);

// Turns a raw system() result into the shell's exit status.
int shellExitStatus(int systemResult);

}  // namespace designopt
