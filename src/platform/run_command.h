// Starting a launcher through the command interpreter.
#pragma once

namespace designopt {

// Flushes the standard streams and the run log (waiting.h), hands the command line to
// the command interpreter and waits for it to end. Returns the exit status as a shell
// reports it: the command's exit code, 127 when the interpreter cannot find or start
// it (9009 from the Windows command interpreter when it cannot find it), 128 + the
// signal number when a signal ended it. A non-zero status is reported on the standard
// error stream: "Warning: <command> was not found; put the folder that holds the
// launchers on the PATH" when the interpreter could not find the command, otherwise
// "Warning: <command> ended with status <status>".
//
// A run that is taken from the session journal (a resumed run) is not run: its
// recorded status stands for it. `beforeRunning`, when given, is called just before
// the command really runs, and only then.
int runCommand(const char* commandLine, void (*beforeRunning)() = nullptr);

// Adds the folder of designopt's own executable at the end of the PATH that commands
// are run with, so that the launchers installed beside designopt are found wherever
// it is started from; a folder already on the PATH that holds launchers still wins.
void addOwnFolderToCommandPath();

// Turns a raw system() result into the shell's exit status.
int shellExitStatus(int systemResult);

}  // namespace designopt
