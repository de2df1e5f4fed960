// Deletion at the next boot on both families: the platform's on the NT family, and on the 9x
// family the list in WININIT.INI, as file contents before and after.
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/delete_on_reboot.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "platform/substitute/fake_system_info.h"
#include "platform/substitute/recording_boot_deletion.h"
#include "tests/support/temp_folder.h"

using test_support::TempFolder;

namespace fs = std::filesystem;

namespace {

const std::string kCopy = "/tmp/REB_0000.EXE";
const std::string kEntry = "NUL=/tmp/REB_0000.EXE\r\n";
const std::string kLong(254, 'x');

std::optional<std::string> ReadIfThere(const fs::path& path) {
    if (!fs::exists(path)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class DeleteOnReboot : public ::testing::Test {
protected:
    DeleteOnReboot() {
        system_.Windows = folder_.Path().string();
        Config.OsKind = 0;
    }

    platform::Services WithSubstitutes() {
        platform::Services services = platform::Platform();
        services.System = &system_;
        services.NextBoot = &nextBoot_;
        return services;
    }

    fs::path List() const { return fs::path(system_.Windows) / "WININIT.INI"; }

    TempFolder folder_;
    platform::substitute::FakeSystemInfo system_;
    platform::substitute::RecordingBootDeletion nextBoot_;
    platform::ScopedServices scoped_{WithSubstitutes()};
};

struct ListCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
    std::string after;
};

// clang-format off
const ListCase kLists[] = {
    {"Missing", std::nullopt, "[RENAME]\r\n" + kEntry},
    {"Empty", "", "[RENAME]\r\n" + kEntry},
    {"NoHeader", "[other]\r\nA=1\r\n", "[other]\r\nA=1\r\n[RENAME]\r\n" + kEntry},
    {"LowerCaseHeader", "[rename]\r\nNUL=C:\\OLD.EXE\r\n",
     "[rename]\r\nNUL=C:\\OLD.EXE\r\n[RENAME]\r\n" + kEntry},
    {"HeaderAtTheStart", "[RENAME]\r\nNUL=C:\\OLD.EXE\r\n", "[RENAME]\r\nNUL=C:\\OLD.EXE\r\n" + kEntry},
    // The entry goes to the end of the file even when another section follows the header.
    {"HeaderInTheMiddle", "A=1\r\n[RENAME]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nB=2\r\n",
     "A=1\r\n[RENAME]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nB=2\r\n" + kEntry},
    {"HeaderWithMoreOnItsLine", "[RENAME] ; pending\r\n", "[RENAME] ; pending\r\n" + kEntry},
    {"HeaderIndented", " [RENAME]\r\n", " [RENAME]\r\n[RENAME]\r\n" + kEntry},
    {"LineFeedsOnly", "[RENAME]\nNUL=C:\\OLD.EXE\n", "[RENAME]\nNUL=C:\\OLD.EXE\n" + kEntry},
    // A last line without a line end is ended first, so that the new lines stand on their own.
    {"NoLastLineEnd", "[RENAME]", "[RENAME]\r\n" + kEntry},
    {"NoLastLineEndNoHeader", "A=1", "A=1\r\n[RENAME]\r\n" + kEntry},
    // Lines are read in pieces of 254 characters, the line end counted; each piece is tested
    // as a line.
    {"LongLineThenHeader", kLong + "\r\n[RENAME]\r\n", kLong + "\r\n[RENAME]\r\n" + kEntry},
    {"HeaderStartsTheSecondPiece", kLong + "[RENAME]\r\n", kLong + "[RENAME]\r\n" + kEntry},
    {"HeaderAcrossPieces", kLong.substr(1) + "[RENAME]\r\n",
     kLong.substr(1) + "[RENAME]\r\n[RENAME]\r\n" + kEntry},
    {"HeaderAfterAFullPieceLine", std::string(253, 'x') + "\r\n[RENAME]\r\n",
     std::string(253, 'x') + "\r\n[RENAME]\r\n" + kEntry},
};
// clang-format on

class WininitList : public DeleteOnReboot, public ::testing::WithParamInterface<ListCase> {};

TEST_P(WininitList, GetsTheEntryAndTheHeaderWhenMissing) {
    const ListCase& c = GetParam();
    if (c.before) folder_.Write("WININIT.INI", *c.before);
    ScheduleDeleteOnReboot(kCopy);
    EXPECT_EQ(ReadIfThere(List()), c.after);
    EXPECT_TRUE(nextBoot_.Paths.empty());
}

INSTANTIATE_TEST_SUITE_P(Contents, WininitList, ::testing::ValuesIn(kLists),
                         [](const ::testing::TestParamInfo<ListCase>& param) {
                             return param.param.name;
                         });

TEST_F(DeleteOnReboot, WindowsFolderOfAtMost115Characters) {
    struct Case {
        size_t length;
        bool written;
    };
    for (const Case c : {Case{115, true}, Case{116, false}}) {
        SCOPED_TRACE(c.length);
        const std::string base = folder_.Path().string() + "/";
        ASSERT_LT(base.size(), c.length);
        const fs::path windows = base + std::string(c.length - base.size(), 'w');
        fs::create_directory(windows);
        ASSERT_EQ(windows.string().size(), c.length);
        system_.Windows = windows.string();

        ScheduleDeleteOnReboot(kCopy);
        EXPECT_EQ(ReadIfThere(List()),
                  c.written ? std::optional<std::string>("[RENAME]\r\n" + kEntry) : std::nullopt);
    }
}

TEST_F(DeleteOnReboot, NothingWithoutAWindowsFolder) {
    system_.Windows = "";
    ScheduleDeleteOnReboot(kCopy);
    EXPECT_TRUE(fs::is_empty(folder_.Path()));
    EXPECT_TRUE(nextBoot_.Paths.empty());
}

TEST_F(DeleteOnReboot, NtFamilyAsksThePlatformAndWritesNoList) {
    for (const uint8_t osKind : {uint8_t{1}, uint8_t{2}}) {
        Config.OsKind = osKind;
        ScheduleDeleteOnReboot(kCopy);
    }
    EXPECT_EQ(nextBoot_.Paths, (std::vector<std::string>{kCopy, kCopy}));
    EXPECT_FALSE(fs::exists(List()));
}

}  // namespace
