#pragma once
// The command line's commands, run without a window, before (and instead of)
// everything the window needs. See cli/CommandLine.h for the syntax and the
// exit codes, README.md for the output.

#include "cli/CommandLine.h"

#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8 (read wide from the
// process's command line: the ANSI code page may not hold them).
std::vector<std::string> ProgramArguments();

// Runs a command line that is not the window's; returns the exit code.
int RunCommandLine(const TCommandLine& Line);
