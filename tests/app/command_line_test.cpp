// The command line: modes, drive number, package folder and the mistakes a user makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/package_folder_files.h"
#include "platform/substitute/memory_files.h"

namespace {

struct ParseCase {
    std::vector<const char*> arguments;  // after the program name
    CommandMode mode;
    std::string folder;
    int drive;
    bool yes;
    std::string error;  // a word the error must contain; empty: no error
};

CommandLine Parse(const std::vector<const char*>& arguments) {
    std::vector<const char*> argv{"zvfirm"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, ReadsModesFoldersAndDrives) {
    // clang-format off
    const ParseCase cases[] = {
        {{}, CommandMode::Dialogs, "", -1, false, ""},
        {{"pkg"}, CommandMode::Dialogs, "pkg", -1, false, ""},
        {{"--help"}, CommandMode::Help, "", -1, false, ""},
        {{"-h"}, CommandMode::Help, "", -1, false, ""},
        {{"--version"}, CommandMode::Version, "", -1, false, ""},
        {{"--list"}, CommandMode::List, "", -1, false, ""},
        {{"--list", "/srv/fw"}, CommandMode::List, "/srv/fw", -1, false, ""},
        {{"/srv/fw", "--list"}, CommandMode::List, "/srv/fw", -1, false, ""},
        {{"--dry-run", "--drive", "0", "pkg"}, CommandMode::DryRun, "pkg", 0, false, ""},
        {{"--update", "--drive=12", "--yes", "pkg"}, CommandMode::Update, "pkg", 12, true, ""},
        {{"--update", "-y", "--drive", "3"}, CommandMode::Update, "", 3, true, ""},
        {{"--list", "--", "--odd-name"}, CommandMode::List, "--odd-name", -1, false, ""},
        // Mistakes.
        {{"--list", "--update"}, CommandMode::List, "", -1, false, "only one of"},
        {{"--update"}, CommandMode::Update, "", -1, false, "--drive N"},
        {{"--update", "--drive"}, CommandMode::Update, "", -1, false, "number of a drive"},
        {{"--update", "--drive", "x1"}, CommandMode::Update, "", -1, false, "\"x1\""},
        {{"--update", "--drive", "-1"}, CommandMode::Update, "", -1, false, "\"-1\""},
        {{"--update", "--drive", "1000"}, CommandMode::Update, "", -1, false, "\"1000\""},
        {{"--update", "--drive="}, CommandMode::Update, "", -1, false, "number of a drive"},
        {{"--list", "--drive", "0"}, CommandMode::List, "", 0, false, "goes with"},
        {{"--list", "--yes"}, CommandMode::List, "", -1, true, "goes with"},
        {{"--yes"}, CommandMode::Dialogs, "", -1, true, "goes with"},
        {{"a", "b"}, CommandMode::Dialogs, "a", -1, false, "only one package folder"},
        {{"--lsit"}, CommandMode::Dialogs, "", -1, false, "unknown option --lsit"},
        {{""}, CommandMode::Dialogs, "", -1, false, "empty"},
    };
    // clang-format on
    for (const ParseCase& c : cases) {
        std::string trace;
        for (const char* argument : c.arguments) trace += std::string(argument) + " ";
        SCOPED_TRACE(trace);
        const CommandLine line = Parse(c.arguments);
        if (c.error.empty()) {
            EXPECT_EQ(line.Error, "");
            EXPECT_EQ(line.Mode, c.mode);
            EXPECT_EQ(line.PackageFolder, c.folder);
            EXPECT_EQ(line.Drive, c.drive);
            EXPECT_EQ(line.Yes, c.yes);
        } else {
            EXPECT_NE(line.Error.find(c.error), std::string::npos) << line.Error;
        }
    }
}

TEST(PackageFolderFiles, RelativeNamesResolveInTheFolder) {
    platform::substitute::MemoryFiles memory;
    memory.Add("/srv/fw/zorvfirm.ini", "x");
    memory.Add("/srv/fw/sub/FW.BIN", "y");
    memory.Add("/abs/FW.BIN", "z");
    memory.Add("zorvfirm.ini", "in the current directory");
    for (const char* folder : {"/srv/fw", "/srv/fw/"}) {
        SCOPED_TRACE(folder);
        PackageFolderFiles files(memory, folder);
        EXPECT_NE(files.OpenText("zorvfirm.ini"), nullptr);
        EXPECT_NE(files.OpenInput("sub/FW.BIN"), nullptr);
        EXPECT_NE(files.OpenInput("/abs/FW.BIN"), nullptr);
        EXPECT_EQ(files.OpenText("FWUPD.INI"), nullptr);
        // An empty name never becomes the folder itself.
        EXPECT_EQ(files.Resolve(""), "");
    }
    EXPECT_EQ(memory.OpenRequests(),
              (std::vector<std::string>{"/srv/fw/zorvfirm.ini", "/srv/fw/sub/FW.BIN", "/abs/FW.BIN",
                                        "/srv/fw/FWUPD.INI", "/srv/fw/zorvfirm.ini",
                                        "/srv/fw/sub/FW.BIN", "/abs/FW.BIN", "/srv/fw/FWUPD.INI"}));
}

}  // namespace
