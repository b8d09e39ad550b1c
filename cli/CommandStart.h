#pragma once

#include "CommandLine.h"

// Runs the command the command line asks for, on the place it names or, when it names none, on
// the place chosen last, said in one line on standard error; fills the demo folder on first use.
// Returns the program's exit status.
namespace cli {

int startCommand(const StartOptions &options);

// Refuses to start: the reason on standard error and, for a script that asked for JSON, as
// {"error": ...} on standard output. Returns the exit status, 2.
int refuseStart(const QString &reason, bool json);

}  // namespace cli
