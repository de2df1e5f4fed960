// The program's arguments: a package folder, and the terminal modes that run the same
// engine without windows.
#pragma once

#include <string>

enum class CommandMode { Dialogs, Help, Version, List, DryRun, Update };

struct CommandLine {
    CommandMode Mode = CommandMode::Dialogs;
    std::string PackageFolder;  // empty: the current directory, as without arguments
    int Drive = -1;             // --drive N; -1 when not given
    bool Yes = false;           // --yes: every question is answered Yes
    std::string Error;          // not empty when the arguments are wrong; says what is wrong
};

// Reads argv[1] onwards; never fails, a wrong command line comes back with Error set.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The --help text (English, the options are English words).
std::string UsageText();
// The --version line.
std::string VersionText();
