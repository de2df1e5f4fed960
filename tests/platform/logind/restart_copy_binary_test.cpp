// The real program, copied to a name that begins with "REB", under a private system bus with
// a mock logind: it waits 8 seconds, asks for the reboot and reads no configuration; when
// logind refuses it says that it cannot reboot.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "mock_logind.h"
#include "tests/support/temp_folder.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;

using test_support::TempFolder;

namespace fs = std::filesystem;

namespace {

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The time of the first logged call of `method`, from the mock's "<time> <method> ..." lines.
double FirstCallTime(const std::string& log, const std::string& method) {
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const size_t end = blank + 1 + method.size();
        if (line.compare(blank + 1, method.size(), method) == 0 &&
            (line.size() == end || line[end] == ' '))
            return std::stod(line.substr(0, blank));
    }
    return -1;
}

class RestartCopyBinary : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MockLogind::ToolsPresent())
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        ASSERT_TRUE(logind_.StartBus());
        package_ = folder_.Path() / "package";
        fs::create_directory(package_);
        // Every configuration it could read is broken, so reading one would show a box.
        std::ofstream(package_ / "REB_0000.INI") << "";
        std::ofstream(package_ / "zorvfirm.ini") << "";
        fs::copy_file(ZVFIRM_BINARY, package_ / "REB_0000.EXE");
        fs::permissions(package_ / "REB_0000.EXE", fs::perms::owner_read | fs::perms::owner_exec);
    }

    // Runs the copy; its exit code.
    int Run(const char* locale) {
        const pid_t child = StartProgram(
            {(package_ / "REB_0000.EXE").string()},
            {"PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen", locale,
             "ZVFIRM_MESSAGE_LOG=" + Boxes().string(), "TMPDIR=" + folder_.Path().string(),
             "XDG_RUNTIME_DIR=" + folder_.Path().string(), logind_.AddressVariable()},
            package_);
        return WaitForProgram(child, 120);
    }

    fs::path Boxes() const { return folder_.Path() / "boxes.log"; }
    std::string Stderr() const { return ReadWhole(package_ / "REB_0000.EXE.stderr"); }

    TempFolder folder_;
    MockLogind logind_{folder_.Path()};
    fs::path package_;
};

TEST_F(RestartCopyBinary, AsksLogindForTheRebootAfterEightSeconds) {
    ASSERT_TRUE(logind_.StartLogind());
    const double started = WallSeconds();
    EXPECT_EQ(Run("LANG=C"), 0);

    EXPECT_FALSE(fs::exists(Boxes())) << ReadWhole(Boxes()) << Stderr();
    const std::string calls = logind_.CallLog();
    const double asked = FirstCallTime(calls, "CanReboot");
    const double rebooted = FirstCallTime(calls, "Reboot");
    ASSERT_GT(asked, 0) << calls;
    ASSERT_GT(rebooted, 0) << calls;
    // The log keeps milliseconds.
    EXPECT_GE(asked, started + 8.0 - 0.001) << "asked too early";
    EXPECT_GE(rebooted, asked);
    EXPECT_NE(calls.find(" Reboot True\n"), std::string::npos) << calls;
}

TEST_F(RestartCopyBinary, SaysItCannotRebootWhenLogindRefuses) {
    struct Case {
        const char* name;
        const char* parameters;
        bool refuseRequest;
        const char* locale;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {"no right", "{\"CanReboot\": \"no\"}", false, "LANG=C", "Can't reboot."},
        {"request refused", "{}", true, "LANG=ja_JP.UTF-8", "再起動できませんでした。"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Boxes());
        ASSERT_TRUE(logind_.StartLogind(c.parameters));
        if (c.refuseRequest) {
            ASSERT_TRUE(logind_.RefuseReboot());
        }
        EXPECT_EQ(Run(c.locale), 0);
        EXPECT_EQ(ReadWhole(Boxes()),
                  std::string("[Error - Upgrade Program] icon=stop buttons=ok answer=1\n") +
                      c.text + "\n\n")
            << Stderr();
        EXPECT_EQ(FirstCallTime(logind_.CallLog(), "Reboot") > 0, c.refuseRequest)
            << logind_.CallLog();
    }
}

}  // namespace
