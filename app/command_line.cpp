#include "app/command_line.h"

#include <string_view>

namespace {

// Long enough for any drive table index; a number that does not fit is refused.
bool ReadDriveNumber(std::string_view text, int* drive) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    *drive = value;
    return true;
}

bool SetMode(CommandLine& line, CommandMode mode, std::string_view option) {
    if (line.Mode != CommandMode::Dialogs && line.Mode != mode) {
        line.Error =
            "only one of --list, --dry-run, --update, --help and --version may be given (" +
            std::string(option) + ")";
        return false;
    }
    line.Mode = mode;
    return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc && line.Error.empty(); ++i) {
        const std::string_view argument = argv[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (!line.PackageFolder.empty()) {
                line.Error = "only one package folder may be given";
                break;
            }
            line.PackageFolder = argument;
            if (line.PackageFolder.empty()) line.Error = "the package folder is an empty name";
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            SetMode(line, CommandMode::Help, argument);
        } else if (argument == "--version") {
            SetMode(line, CommandMode::Version, argument);
        } else if (argument == "--list") {
            SetMode(line, CommandMode::List, argument);
        } else if (argument == "--dry-run") {
            SetMode(line, CommandMode::DryRun, argument);
        } else if (argument == "--update") {
            SetMode(line, CommandMode::Update, argument);
        } else if (argument == "--yes" || argument == "-y") {
            line.Yes = true;
        } else if (argument == "--drive" || argument.substr(0, 8) == "--drive=") {
            std::string_view number;
            if (argument == "--drive") {
                if (i + 1 >= argc) {
                    line.Error = "--drive needs the number of a drive (zvfirm --list shows them)";
                    break;
                }
                number = argv[++i];
            } else {
                number = argument.substr(8);
            }
            if (!ReadDriveNumber(number, &line.Drive))
                line.Error =
                    "--drive needs the number of a drive (zvfirm --list shows them), not \"" +
                    std::string(number) + "\"";
        } else {
            line.Error = "unknown option " + std::string(argument);
        }
    }
    if (!line.Error.empty()) return line;

    const bool updates = line.Mode == CommandMode::DryRun || line.Mode == CommandMode::Update;
    if (updates && line.Drive < 0)
        line.Error = "--dry-run and --update need --drive N (zvfirm --list shows the drives)";
    else if (!updates && line.Drive >= 0)
        line.Error = "--drive goes with --dry-run or --update";
    else if (line.Yes && !updates)
        line.Error = "--yes goes with --dry-run or --update";
    return line;
}

std::string UsageText() {
    return "Usage:\n"
           "  zvfirm [PACKAGE_FOLDER]                        update in a window\n"
           "  zvfirm --list [PACKAGE_FOLDER]                 the drives the package can update\n"
           "  zvfirm --dry-run --drive N [--yes] [PACKAGE_FOLDER]\n"
           "                                                 the checks, and the commands an\n"
           "                                                 update would send (none is sent)\n"
           "  zvfirm --update --drive N [--yes] [PACKAGE_FOLDER]\n"
           "                                                 the update, in the terminal\n"
           "  zvfirm --help | --version\n"
           "\n"
           "PACKAGE_FOLDER holds the update package: the configuration file (the program's\n"
           "name followed by .INI, else zorvfirm.ini) and the firmware images. Without it, they\n"
           "are read from the current directory.\n"
           "N is the number --list shows before a drive. --yes answers every question with Yes.\n"
           "Exit status: 0 success (--list: at least one drive can be updated), 1 failure or\n"
           "No, 2 a wrong command line.\n";
}

std::string VersionText() { return std::string("zvfirm ") + ZVFIRM_VERSION + "\n"; }
