// Deletion at the next boot through tmpfiles.d entries, written into folders of the test's
// own, and carried out by the real systemd-tmpfiles where it is installed.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/linux/tmpfiles_boot_deletion.h"
#include "tests/support/temp_folder.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;

using test_support::TempFolder;

namespace fs = std::filesystem;

namespace {

using platform::linux_os::TmpfilesBootDeletion;

// Every regular file under `folder`.
std::vector<fs::path> FilesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

class TmpfilesEntry : public ::testing::Test {
protected:
    TmpfilesEntry() {
        fs::create_directories(system_);
        fs::create_directories(folder_.Path() / "tmp");
        places_.systemFolder = system_.string();
        places_.userFolder = user_.string();
        places_.userManager = false;
        places_.inMemory = [](const std::string&) { return false; };
    }

    std::string Copy(const std::string& name = "REB_0000.EXE") {
        const fs::path copy = folder_.Path() / "tmp" / name;
        std::ofstream(copy) << "copy";
        return copy.string();
    }

    static std::string EntryText(const std::string& copy, const fs::path& entry) {
        return "# zvfirm's temporary restart copy, and this entry with it.\nr " + copy + "\nr " +
               entry.string() + "\n";
    }

    TempFolder folder_;
    fs::path system_ = folder_.Path() / "etc/tmpfiles.d";
    fs::path user_ = folder_.Path() / "home/.config/user-tmpfiles.d";
    TmpfilesBootDeletion::Places places_;
};

TEST_F(TmpfilesEntry, GoesToTheSystemFolderFirst) {
    places_.userManager = true;
    const std::string copy = Copy();
    EXPECT_TRUE(TmpfilesBootDeletion(places_).DeleteAtNextBoot(copy));

    const fs::path entry = system_ / "zvfirm-restart-REB_0000.EXE.conf";
    EXPECT_EQ(FilesUnder(system_), std::vector<fs::path>{entry});
    EXPECT_EQ(ReadWhole(entry), EntryText(copy, entry));
    EXPECT_FALSE(fs::exists(user_));
}

TEST_F(TmpfilesEntry, GoesToTheUsersFolderWhenTheSystemHasNone) {
    fs::remove_all(system_);
    places_.userManager = true;
    const std::string copy = Copy();
    EXPECT_TRUE(TmpfilesBootDeletion(places_).DeleteAtNextBoot(copy));

    const fs::path entry = user_ / "zvfirm-restart-REB_0000.EXE.conf";
    EXPECT_EQ(FilesUnder(user_), std::vector<fs::path>{entry});
    EXPECT_EQ(ReadWhole(entry), EntryText(copy, entry));
    EXPECT_EQ(fs::status(user_).permissions(), fs::perms::owner_all);
}

TEST_F(TmpfilesEntry, NothingIsWrittenWhereNothingWillReadIt) {
    struct Case {
        const char* name;
        bool systemFolder;
        bool userManager;
        bool inMemory;
        bool deleted;
    };
    // clang-format off
    const Case cases[] = {
        {"folder emptied at boot", true, true, true, true},
        {"no system folder, no user manager", false, false, false, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.systemFolder) fs::remove_all(system_);
        places_.userManager = c.userManager;
        places_.inMemory = [&c](const std::string&) { return c.inMemory; };
        EXPECT_EQ(TmpfilesBootDeletion(places_).DeleteAtNextBoot(Copy()), c.deleted);
        EXPECT_TRUE(FilesUnder(system_).empty());
        EXPECT_TRUE(FilesUnder(user_).empty());
    }
}

// tmpfiles.d expands '%', splits on blanks, undoes quotes and reads "r" paths as globs: a
// path with any of these could name other files, and is never written.
TEST_F(TmpfilesEntry, PathsTmpfilesWouldReadOtherwiseAreRefused) {
    for (const char* name : {"REB 0000.EXE", "REB_*.EXE", "REB_%h.EXE", "REB_\"0\".EXE",
                             "REB_\\x2a.EXE", "REB_?.EXE", "REB_[0].EXE", "REB_\n.EXE"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TmpfilesBootDeletion(places_).DeleteAtNextBoot(Copy(name)));
        EXPECT_TRUE(FilesUnder(system_).empty());
    }
    EXPECT_FALSE(TmpfilesBootDeletion(places_).DeleteAtNextBoot("tmp/REB_0000.EXE"));
    EXPECT_TRUE(FilesUnder(system_).empty());
}

// What systemd-tmpfiles does with the entry at boot: removes the copy and the entry.
TEST_F(TmpfilesEntry, SystemdTmpfilesRemovesTheCopyAndTheEntryAtBoot) {
    if (!fs::exists("/usr/bin/systemd-tmpfiles") && !fs::exists("/bin/systemd-tmpfiles"))
        GTEST_SKIP() << "systemd-tmpfiles is not installed";
    const std::string copy = Copy();
    const std::string other = Copy("REB_0001.EXE");
    ASSERT_TRUE(TmpfilesBootDeletion(places_).DeleteAtNextBoot(copy));
    const fs::path entry = system_ / "zvfirm-restart-REB_0000.EXE.conf";

    const std::string command = "systemd-tmpfiles --remove --boot '" + entry.string() + "' 2>&1";
    std::FILE* run = popen(command.c_str(), "r");
    ASSERT_NE(run, nullptr);
    char buffer[512];
    std::string said;
    while (std::fgets(buffer, sizeof buffer, run) != nullptr) said += buffer;
    EXPECT_EQ(pclose(run), 0) << said;

    EXPECT_FALSE(fs::exists(copy)) << said;
    EXPECT_FALSE(fs::exists(entry)) << said;
    EXPECT_TRUE(fs::exists(other));
}

}  // namespace
