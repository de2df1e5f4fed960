// What the program does before any window: reads the command line, runs the terminal modes
// (--help, --version, --list, --dry-run, --update) to their end, puts a package folder in
// place, and checks that a display can be opened before the window framework is started.
#pragma once

#include <optional>

#include "app/command_line.h"

// The exit status when the program ends here; nothing when the dialogs are to run (the
// package folder, if one was given, is then in place for them).
std::optional<int> StartFromCommandLine(int argc, const char* const* argv);

// Runs one terminal mode of a command line that has no Error; the exit status.
int RunTerminalMode(const CommandLine& commandLine);
