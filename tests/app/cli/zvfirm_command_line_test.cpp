// The real zvfirm program on a terminal: the command line, the list of drives and the
// reasons for the others, against simulated drives and with no display at all.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "tests/support/child_program.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;
using test_support::WriteWhole;

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode = -1;
    bool signalled = false;
    std::string out;
    std::string err;
};

// The demo drive, and a second drive of another model.
const char* const kDemoDrive =
    "[drive]\nvendor = ZORVANT\nproduct = \"DVDR   ZV-314K\"\n"
    "revision = 1.00\nmedium = loaded\nboard_version = 2\n"
    "image_size = 262144\nflash_ms = 0\n";
const char* const kOtherDrive =
    "[drive]\nvendor = ZORVANT\nproduct = \"CD-RW   OTHER\"\nrevision = 2.10\n";

class ZvfirmCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zvfirm-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        package_ = folder_ / "package";
        fs::create_directory(package_);
        // The demo package without its notice: the scenarios that want one add it back.
        std::string ini = ReadWhole(fs::path(ZV_SOURCE_DIR) / "examples/demo/zorvfirm.ini");
        for (size_t at; (at = ini.find("USE DVDRW CAUTION=YES")) != std::string::npos;)
            ini.erase(at, ini.find('\n', at) + 1 - at);
        WriteWhole(package_ / "zorvfirm.ini", ini);
        const std::string make =
            std::string(ZV_MAKE_IMAGE) + " " + (package_ / "ZV314K.BIN").string();
        ASSERT_EQ(std::system(make.c_str()), 0);
        Drives(kDemoDrive);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    void Drives(const std::string& description) { WriteWhole(folder_ / "drives.sim", description); }

    // Runs zvfirm with `arguments` in `folder_` (not the package folder), standard input
    // from /dev/null, and a clean environment plus `extra`.
    // `interruptOn`: once standard error holds this text, SIGINT and SIGTERM are sent.
    Outcome Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& extra = {}, const std::string& interruptOn = "") {
        std::vector<std::string> environment{
            "PATH=/usr/bin:/bin", "ZVFIRM_SIMULATE=" + (folder_ / "drives.sim").string()};
        environment.insert(environment.end(), extra.begin(), extra.end());
        test_support::ChildProgram program;
        program.path = ZVFIRM_BINARY;
        program.arguments = arguments;
        program.environment = environment;
        program.folder = folder_;
        program.outputs = folder_;
        bool interrupted = false;
        const test_support::ChildOutcome ended =
            test_support::RunChild(program, [&](pid_t child, const std::string& err) {
                if (interruptOn.empty() || interrupted ||
                    err.find(interruptOn) == std::string::npos)
                    return;
                kill(child, SIGINT);
                kill(child, SIGTERM);
                interrupted = true;
            });
        Outcome run;
        run.signalled = ended.signalled;
        run.exitCode = ended.exitCode;
        run.out = ended.out;
        run.err = ended.err;
        if (!interruptOn.empty()) {
            EXPECT_TRUE(interrupted) << "never saw: " << interruptOn;
        }
        return run;
    }

    std::string Package() const { return package_.string(); }

    fs::path folder_;
    fs::path package_;
};

struct Scenario {
    const char* name;
    std::vector<std::string> arguments;  // "PKG" stands for the package folder
    const char* drives;                  // the simulated drives; null: the demo drive
    const char* locale;
    int exitCode;
    std::string out;                    // standard output, whole
    std::vector<std::string> errParts;  // each found in standard error
};

TEST_F(ZvfirmCommandLine, Scenarios) {
    const std::string both = std::string(kDemoDrive) + kOtherDrive;
    // clang-format off
    const Scenario scenarios[] = {
        {"list the demo drive", {"--list", "PKG"}, nullptr, "LANG=C", 0,
         "0  D:\\ [ZORVANT DVDR   ZV-314K   1.00]\n", {}},
        {"list one of two drives and say why not the other", {"PKG", "--list"}, both.c_str(), "LANG=C", 0,
         "0  D:\\ [ZORVANT DVDR   ZV-314K   1.00]\n",
         {"zvfirm: The drive E: [ZORVANT CD-RW   OTHER   2.10] is not one this package updates.\n"}},
        {"no matching drive", {"--list", "PKG"}, kOtherDrive, "LANG=C", 1, "",
         {"The drive D: [ZORVANT CD-RW   OTHER   2.10] is not one this package updates.",
          "Error - Upgrade Program\nNo drive found.\n"}},
        {"no matching drive, Japanese", {"--list", "PKG"}, kOtherDrive, "LANG=ja_JP.UTF-8", 1, "",
         {"はこの更新パッケージの対象ではありません。", "Error - Upgrade Program\nドライブが見つかりません。\n"}},
        {"no configuration in the folder", {"--list", "EMPTY"}, nullptr, "LANG=C", 1, "",
         {"Error - Upgrade Program\nINI file not found. (Code 1)\n"}},
        {"no configuration, Japanese", {"--list", "EMPTY"}, nullptr, "LC_ALL=ja_JP.UTF-8", 1, "",
         {"INIファイルが見つかりません。(Code 1)"}},
        {"a folder that does not exist", {"--list", "/nonexistent/zvfirm"}, nullptr, "LANG=C", 2, "",
         {"zvfirm: /nonexistent/zvfirm: no such folder\n"}},
        {"a drive number that is not listed", {"--update", "--drive", "1", "--yes", "PKG"}, nullptr, "LANG=C", 2,
         "", {"zvfirm: there is no drive 1; zvfirm --list shows the drives.\n"}},
        {"help", {"--help"}, nullptr, "LANG=C", 0, "", {}},
        {"version", {"--version"}, nullptr, "LANG=C", 0, "zvfirm 0.1.0\n", {}},
        {"unknown option", {"--lsit"}, nullptr, "LANG=C", 2, "",
         {"zvfirm: unknown option --lsit\nTry zvfirm --help.\n"}},
        {"update without a drive", {"--update", "PKG"}, nullptr, "LANG=C", 2, "", {"need --drive N"}},
    };
    // clang-format on
    fs::create_directory(folder_ / "empty");
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        Drives(s.drives != nullptr ? s.drives : kDemoDrive);
        std::vector<std::string> arguments;
        for (const std::string& argument : s.arguments)
            arguments.push_back(argument == "PKG"     ? Package()
                                : argument == "EMPTY" ? (folder_ / "empty").string()
                                                      : argument);
        const Outcome run = Run(arguments, {s.locale});
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.exitCode, s.exitCode) << run.err;
        if (std::string(s.name) == "help")
            EXPECT_EQ(run.out.rfind("Usage:\n  zvfirm [PACKAGE_FOLDER]", 0), 0u) << run.out;
        else
            EXPECT_EQ(run.out, s.out);
        for (const std::string& part : s.errParts)
            EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
    }
}

// Windows editors write a byte-order mark at the start of the file; it reads the same.
TEST_F(ZvfirmCommandLine, AConfigurationWithAByteOrderMarkReads) {
    const std::string text = ReadWhole(package_ / "zorvfirm.ini");
    WriteWhole(package_ / "zorvfirm.ini", "\xEF\xBB\xBF" + text);
    const Outcome run = Run({"--list", Package()}, {"LANG=C"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0  D:\\ [ZORVANT DVDR   ZV-314K   1.00]\n");
}

TEST_F(ZvfirmCommandLine, WithoutADisplayItSaysSoInOneLine) {
    struct Case {
        const char* name;
        std::vector<std::string> environment;
    };
    // clang-format off
    const Case cases[] = {
        {"nothing set", {"LANG=C"}},
        {"a display without a server", {"LANG=C", "DISPLAY=:64999"}},
        {"xcb asked for", {"LANG=C", "QT_QPA_PLATFORM=xcb"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = Run({Package()}, c.environment);
        EXPECT_FALSE(run.signalled) << "killed by a signal: Qt's abort";
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(
            run.err,
            "zvfirm: no display can be opened (neither DISPLAY nor WAYLAND_DISPLAY can be "
            "reached); "
            "on a terminal use zvfirm --list or zvfirm --update --drive N [PACKAGE_FOLDER].\n");
    }
}

// The dialogs read the package from the folder given too: without a display to show them,
// the offscreen platform and the message log show what they read.
TEST_F(ZvfirmCommandLine, TheDialogsReadThePackageFolder) {
    WriteWhole(package_ / "ZV314K.BIN", "short");
    const fs::path log = folder_ / "boxes.log";
    const Outcome run = Run(
        {Package()}, {"LANG=C", "QT_QPA_PLATFORM=offscreen", "ZVFIRM_MESSAGE_LOG=" + log.string()});
    EXPECT_FALSE(run.signalled);
    EXPECT_EQ(ReadWhole(log),
              "[Error - Upgrade Program] icon=stop buttons=ok answer=1\n"
              "Firmware file reading failure. (Code 12)\n\n");
}

// A package that updates without waiting: no flash wait after the final chunk.
void QuickPackage(const fs::path& package, const std::string& options) {
    std::ofstream ini(package / "zorvfirm.ini", std::ios::app | std::ios::binary);
    ini << "UPDATE WAIT TIME=0\r\n" << options;
}

struct UpdateScenario {
    const char* name;
    std::vector<std::string> arguments;  // before the package folder
    std::string drive;                   // more lines of the demo drive's section
    std::string options;                 // more lines of the [OPTION] section
    int exitCode;
    std::vector<std::string> errParts;  // each found in standard error
    bool completes;                     // the update ends with its completion text
};

TEST_F(ZvfirmCommandLine, UpdateScenarios) {
    const std::string later = "revision = 1.06\n";
    // clang-format off
    const UpdateScenario scenarios[] = {
        {"success", {"--update", "--drive", "0"}, "", "", 0,
         {"100% Wait... (Running Firmware upgrade procedure)\n",
          "Information - Upgrade Program\nFirmware update is completed.\n\n"},
         true},
        {"success with the restart question left to the user", {"--update", "--drive", "0", "--yes"}, "",
         "USE RESTART=YES\r\n", 0,
         {"Firmware update is completed.\nRestart the computer to use the new firmware.\n"}, true},
        {"later version, no one to answer: No", {"--update", "--drive", "0"}, later, "", 1,
         {"Drive has later version of firmware than this program.", "[y/n] n (no input)\n"}, false},
        {"later version, --yes", {"--update", "--drive", "0", "--yes"}, later, "", 0,
         {"[y/n] y (--yes)\n", "Firmware update is completed."}, true},
        {"board too new", {"--update", "--drive", "0", "--yes"}, "", "USE PCB VERSION CHECK=1\r\n", 1,
         {"This firmware upgrade does not apply to your drive."}, false},
        {"a chunk fails", {"--update", "--drive", "0"}, "fault = chunk 2 : sense 09/88/00\n", "", 1,
         {"Error - Upgrade Program\nFirmware update is failed.\n\n"}, false},
        {"the final chunk fails", {"--update", "--drive", "0"}, "fault = final : sense 09/86/00\n", "", 1,
         {"Error - Upgrade Program\nFirmware update is failed.\n\n"}, false},
        {"the drive vanishes", {"--update", "--drive", "0"}, "fault = chunk 1 : vanish\n", "", 1,
         {"Firmware update is failed.\n\nSystem error (Win32): Code 21"}, false},
        {"dry run", {"--dry-run", "--drive", "0"}, "", "", 0,
         {"zvfirm: the update would run to its end with this plan.\n"}, false},
        {"dry run of a failing final chunk still plans it", {"--dry-run", "--drive", "0"},
         "fault = final : sense 09/86/00\n", "", 0, {"the update would run to its end"}, false},
        {"notice accepted by --yes", {"--update", "--drive", "0", "--yes"}, "", "USE DVDRW CAUTION=YES\r\n", 0,
         {"ZV-314K Firmware 1.02 - Welcome\nDVDR   ZV-314K  Firmware\nVersion 1.02\n\n"
          "ZORVANT DVD±R/RW Drive Firmware Update Program\n\nThis program can update the firmware for the "
          "ZORVANT DVD±R/RW Drive, Model ZV-314K\n",
          "Firmware update is completed."},
         true},
        {"notice with no one to answer", {"--update", "--drive", "0"}, "", "USE DVDRW CAUTION=YES\r\n", 1,
         {"ZV-314K Firmware 1.02 - Welcome\n", "[y/n] n (no input)\n"}, false},
        {"Japanese", {"--update", "--drive", "0"}, "", "", 0,
         {"ファームウェア更新は完了しました。"}, true},
    };
    // clang-format on
    const std::string ini = ReadWhole(package_ / "zorvfirm.ini");
    for (const UpdateScenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        std::string text = ini;
        // The demo package turns the restart question off; a scenario may turn it back on.
        if (s.options.find("USE RESTART=YES") != std::string::npos)
            text.erase(text.find("USE RESTART=NO"), 14);
        WriteWhole(package_ / "zorvfirm.ini", text);
        QuickPackage(package_, s.options);
        std::string drive = kDemoDrive;
        // A scenario's own revision replaces the demo drive's.
        if (s.drive.find("revision") != std::string::npos)
            drive.erase(drive.find("revision = 1.00\n"), 16);
        Drives(drive + s.drive);
        std::vector<std::string> arguments = s.arguments;
        arguments.push_back(Package());
        const Outcome run =
            Run(arguments, {std::string(s.name) == "Japanese" ? "LANG=ja_JP.UTF-8" : "LANG=C"});
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.exitCode, s.exitCode) << run.err;
        for (const std::string& part : s.errParts)
            EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
        // A failure or a No is never reported as a completed update.
        if (!s.completes) {
            EXPECT_EQ(run.err.find("Firmware update is completed."), std::string::npos);
        }
    }
}

// Ctrl-C (and a polite SIGTERM) while the firmware is written is refused with a message,
// and the update goes on to its end.
TEST_F(ZvfirmCommandLine, InterruptsDuringTheTransferAreRefused) {
    QuickPackage(package_, "");
    Drives(std::string(kDemoDrive) + "final_chunk_delay_ms = 1500\n");
    // The non-final chunks go out faster than the monitor polls on an idle machine; the
    // slow final chunk and the flash wait after it leave seconds to interrupt in.
    const Outcome run = Run({"--update", "--drive", "0", Package()}, {"LANG=C"},
                            "Wait... (Running Firmware upgrade procedure)");
    EXPECT_FALSE(run.signalled);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(
        run.err.find("zvfirm: the drive's firmware is being written and cannot be interrupted"),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Firmware update is completed."), std::string::npos) << run.err;
}

}  // namespace
