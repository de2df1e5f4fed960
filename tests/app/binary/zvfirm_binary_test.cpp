// The real zvfirm program, started in a folder of its own with message boxes written to a
// file (ZVFIRM_MESSAGE_LOG) instead of being shown, and with simulated drives only.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "tests/support/child_program.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;
using test_support::WriteWhole;

namespace fs = std::filesystem;

namespace {

const char* const kZvfirm = ZVFIRM_BINARY;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
    bool boxesShown = false;  // the message log exists
    std::string boxes;
};

class ZvfirmBinary : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zvfirm-binary-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        package_ = folder_ / "package";
        fs::create_directory(package_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Starts `program` in the package folder with a clean environment plus `extra`.
    Outcome Start(const fs::path& program, const std::vector<std::string>& extra) {
        const fs::path log = folder_ / "boxes.log";
        fs::remove(log);
        // `extra` comes first: the first of two entries of one name is the one read.
        std::vector<std::string> environment(extra);
        for (const std::string& entry : std::vector<std::string>{
                 "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen",
                 "ZVFIRM_MESSAGE_LOG=" + log.string(), "TMPDIR=" + folder_.string(),
                 "XDG_RUNTIME_DIR=" + folder_.string(),
                 // Nothing started here may reach the machine's own system bus: a restart copy
                 // would ask the real logind to reboot. Unless the test brings a bus of its own,
                 // it reaches none.
                 "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (folder_ / "no-system-bus").string()})
            environment.push_back(entry);
        test_support::ChildProgram started;
        started.path = program.string();
        started.environment = environment;
        started.folder = package_;
        started.outputs = folder_;
        const test_support::ChildOutcome ended = test_support::RunChild(started);
        Outcome run;
        run.exitCode = ended.exitCode;
        run.out = ended.out;
        run.err = ended.err;
        run.boxesShown = fs::exists(log);
        if (run.boxesShown) run.boxes = ReadWhole(log);
        return run;
    }

    Outcome Start(const std::vector<std::string>& extra) { return Start(kZvfirm, extra); }

    // One error box as the program logs it.
    static std::string ErrorBox(const std::string& text) {
        return "[Error - Upgrade Program] icon=stop buttons=ok answer=1\n" + text + "\n\n";
    }

    // A package whose configuration names the drive identity and a 16 KiB image.
    void WritePackage(size_t imageBytes, const std::string& options = "") {
        WriteWhole(package_ / "zvfirm.INI",
                   "[UPGRADEINFORMATION]\r\n"
                   "INQUIRY=ZORVANT CD-RW   TEST1234;\r\n"
                   "VERSION=1.01\r\n"
                   "FIRMWAREFILENAME=FW.BIN\r\n"
                   "FIRMWAREFILESIZE=16384\r\n"
                   "[OPTION]\r\n" +
                       options);
        WriteWhole(package_ / "FW.BIN", std::string(imageBytes, '\0'));
    }

    // A simulated drive; nothing real is touched while it is attached.
    std::string SimulatedDrive(const std::string& product) {
        const fs::path description = folder_ / "drive.sim";
        WriteWhole(description,
                   "[drive]\nvendor = ZORVANT\nproduct = \"" + product + "\"\nrevision = 1.00\n");
        return "ZVFIRM_SIMULATE=" + description.string();
    }

    fs::path folder_;
    fs::path package_;
};

TEST_F(ZvfirmBinary, EmptyFolderReportsTheMissingConfigurationInTheUsersLanguage) {
    struct Case {
        const char* locale;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {"LANG=C", "INI file not found. (Code 1)"},
        {"LANG=de_DE.UTF-8", "INI file not found. (Code 1)"},
        {"LANG=ja_JP.UTF-8", "INIファイルが見つかりません。(Code 1)"},
        {"LC_ALL=ja_JP.UTF-8", "INIファイルが見つかりません。(Code 1)"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const Outcome run = Start({c.locale});
        // Scripts and the desktop tell a failed start by the status.
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.boxes, ErrorBox(c.text));
        EXPECT_EQ(run.out, "");
    }
}

// The log may lie in a folder others can write to: a link planted at its name is not
// followed, and the box still reaches the user on the error output.
TEST_F(ZvfirmBinary, MessageLogDoesNotFollowALinkAtItsName) {
    const fs::path victim = folder_ / "victim";
    WriteWhole(victim, "untouched");
    const fs::path planted = folder_ / "planted.log";
    fs::create_symlink(victim, planted);

    const Outcome run = Start({"LANG=C", "ZVFIRM_MESSAGE_LOG=" + planted.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadWhole(victim), "untouched");
    EXPECT_NE(run.err.find("INI file not found. (Code 1)"), std::string::npos) << run.err;
}

TEST_F(ZvfirmBinary, ShortImageIsAReadingFailure) {
    WritePackage(16383);
    const Outcome run = Start({"LANG=en_US.UTF-8"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.boxes, ErrorBox("Firmware file reading failure. (Code 12)"));
    EXPECT_EQ(run.out, "");
}

TEST_F(ZvfirmBinary, NoMatchingDriveEndsWithNoDriveFound) {
    WritePackage(16384);
    const Outcome run = Start({"LANG=ja_JP.UTF-8", SimulatedDrive("DVD-RW  OTHER   ")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.boxes, ErrorBox("ドライブが見つかりません。"));
    EXPECT_EQ(run.out, "");
}

// The dialogs that follow discovery wait for the user: scripts/test-e2e.sh drives them
// under a virtual X server, on both transports.

// Waits the real 8 seconds of the restart copy. With no system bus there is no logind to ask.
TEST_F(ZvfirmBinary, RestartCopyReadsNoConfigurationAndSaysWhenItCannotReboot) {
    // Every configuration it could read is broken, so reading one would show a box.
    WriteWhole(package_ / "REB_0001.INI", "");
    WriteWhole(package_ / "zorvfirm.ini", "");
    const fs::path copy = package_ / "REB_0001";
    fs::copy_file(kZvfirm, copy);
    fs::permissions(copy, fs::perms::owner_all);

    const Outcome run = Start(copy, {"LANG=C"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.boxes, ErrorBox("Can't reboot.")) << run.err;
}

}  // namespace
