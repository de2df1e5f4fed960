// The temporary restart copy, made in a real temporary folder from a small stand-in for the
// program: its name, what it never writes over or through, its mode bits, the copy that
// cannot be made, and how the copy is started.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "app/restart_copy.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "platform/substitute/fake_system_info.h"
#include "platform/substitute/recording_boot_deletion.h"
#include "platform/substitute/recording_message_boxes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;

using test_support::TempFolder;

namespace fs = std::filesystem;

namespace {

// Stands in for the program: ends at once when started.
const char* const kQuietProgram = "#!/bin/sh\nexit 0\n";

class RestartCopy : public ::testing::Test {
protected:
    RestartCopy() {
        temp_ = folder_.Path() / "tmp";
        fs::create_directory(temp_);
        source_ = folder_.Path() / "zvfirm";
        folder_.Write("zvfirm", kQuietProgram);
        system_.ExePath = "/opt/zvfirm/zvfirm";  // what the copy is made from is Image
        system_.Image = source_.string();
        system_.Temp = temp_.string() + "/";
        Config.NoDeleteFile = 0;
        Config.OsKind = 2;
        Lcid = 1033;
    }

    platform::Services WithSubstitutes() {
        platform::Services services = platform::Platform();
        services.System = &system_;
        services.Messages = &messages_;
        services.NextBoot = &nextBoot_;
        return services;
    }

    // The names in the temporary folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp_))
            names.insert(entry.path().filename().string());
        return names;
    }

    TempFolder folder_;
    fs::path temp_;
    fs::path source_;
    platform::substitute::FakeSystemInfo system_;
    platform::substitute::RecordingMessageBoxes messages_;
    platform::substitute::RecordingBootDeletion nextBoot_;
    platform::ScopedServices scoped_{WithSubstitutes()};
};

struct Planted {
    const char* name;
    // Makes what lies in the temporary folder before the copy, given the folder and a file
    // outside it that must stay as it is.
    std::function<void(const fs::path& temp, const fs::path& outside)> plant;
    const char* copyName;
    mode_t umaskBits;
};

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

// clang-format off
const Planted kPlanted[] = {
    {"EmptyFolder", [](const fs::path&, const fs::path&) {}, "REB_0000.EXE", 022},
    {"ExistingCopy",
     [](const fs::path& temp, const fs::path&) { WriteFile(temp / "REB_0000.EXE", "old"); },
     "REB_0001.EXE", 022},
    {"LinkToAFile",
     [](const fs::path& temp, const fs::path& outside) {
         fs::create_symlink(outside, temp / "REB_0000.EXE");
     },
     "REB_0001.EXE", 022},
    {"LinkToNowhere",
     [](const fs::path& temp, const fs::path& outside) {
         fs::create_symlink(outside.parent_path() / "created-through-link",
                            temp / "REB_0000.EXE");
     },
     "REB_0001.EXE", 022},
    {"FolderOfThatName",
     [](const fs::path& temp, const fs::path&) { fs::create_directory(temp / "REB_0000.EXE"); },
     "REB_0001.EXE", 022},
    {"NumbersAreLowerCaseHex",
     [](const fs::path& temp, const fs::path&) {
         for (int n = 0; n < 10; ++n) WriteFile(temp / ("REB_000" + std::to_string(n) + ".EXE"), "");
         WriteFile(temp / "REB_000A.EXE", "");  // another name: upper case is not the format
     },
     "REB_000a.EXE", 022},
    // The mode bits do not depend on the umask.
    {"UmaskTakesEverything", [](const fs::path&, const fs::path&) {}, "REB_0000.EXE", 0777},
    {"UmaskTakesNothing", [](const fs::path&, const fs::path&) {}, "REB_0000.EXE", 0},
};
// clang-format on

class RestartCopyName : public RestartCopy, public ::testing::WithParamInterface<Planted> {};

TEST_P(RestartCopyName, IsTheFirstFreeNumberAndNeverWritesOverOrThroughAnything) {
    const Planted& c = GetParam();
    const fs::path outside = folder_.Path() / "victim";
    WriteFile(outside, "not to be touched");
    c.plant(temp_, outside);
    std::set<std::string> expected = Names();
    // Kind and, for files, contents of everything planted.
    const auto snapshot = [this] {
        std::map<std::string, std::pair<fs::file_type, std::string>> seen;
        for (const auto& entry : fs::directory_iterator(temp_)) {
            const fs::file_type type = fs::symlink_status(entry.path()).type();
            seen[entry.path().filename().string()] = {
                type, type == fs::file_type::regular ? ReadWhole(entry.path()) : ""};
        }
        return seen;
    };
    auto before = snapshot();

    const mode_t saved = umask(c.umaskBits);
    LaunchRestartCopy();
    umask(saved);

    expected.insert(c.copyName);
    EXPECT_EQ(Names(), expected);
    const fs::path copy = temp_ / c.copyName;
    struct stat info {};
    ASSERT_EQ(lstat(copy.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0500u) << std::oct << (info.st_mode & 07777);
    EXPECT_EQ(ReadWhole(copy), kQuietProgram);

    // What was there before is there as it was, and so is the file outside.
    auto after = snapshot();
    after.erase(c.copyName);
    EXPECT_EQ(after, before);
    EXPECT_EQ(ReadWhole(outside), "not to be touched");
    EXPECT_FALSE(fs::exists(folder_.Path() / "created-through-link"));

    EXPECT_EQ(nextBoot_.Paths, std::vector<std::string>{copy.string()});
    EXPECT_TRUE(messages_.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Planted, RestartCopyName, ::testing::ValuesIn(kPlanted),
                         [](const ::testing::TestParamInfo<Planted>& param) {
                             return param.param.name;
                         });

TEST_F(RestartCopy, NothingHappensWhenTheProgramRebootsByItself) {
    Config.NoDeleteFile = 1;
    LaunchRestartCopy();
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(nextBoot_.Paths.empty());
    EXPECT_TRUE(messages_.Boxes().empty());
}

struct Unmakeable {
    const char* name;
    std::function<void(platform::substitute::FakeSystemInfo&, const fs::path& temp)> spoil;
    uint32_t lcid;
    const char* text;
};

// clang-format off
const Unmakeable kUnmakeable[] = {
    {"NoSource",
     [](platform::substitute::FakeSystemInfo& system, const fs::path& temp) {
         system.Image = (temp.parent_path() / "missing").string();
     },
     1033, "Can't reboot."},
    {"SourceIsAFolder",
     [](platform::substitute::FakeSystemInfo& system, const fs::path& temp) {
         system.Image = temp.parent_path().string();
     },
     1041, "再起動できませんでした。"},
    {"NoTemporaryFolder",
     [](platform::substitute::FakeSystemInfo& system, const fs::path& temp) {
         system.Temp = (temp / "missing/").string();
     },
     1033, "Can't reboot."},
    {"TemporaryFolderUnknown",
     [](platform::substitute::FakeSystemInfo& system, const fs::path&) { system.Temp = ""; },
     1033, "Can't reboot."},
};
// clang-format on

class RestartCopyUnmakeable : public RestartCopy,
                              public ::testing::WithParamInterface<Unmakeable> {};

TEST_P(RestartCopyUnmakeable, SaysItCannotRebootAndLeavesNothing) {
    const Unmakeable& c = GetParam();
    c.spoil(system_, temp_);
    Lcid = c.lcid;
    LaunchRestartCopy();

    const auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].title, "Error - Upgrade Program");
    EXPECT_EQ(boxes[0].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::Ok);
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(nextBoot_.Paths.empty());
}

INSTANTIATE_TEST_SUITE_P(Failures, RestartCopyUnmakeable, ::testing::ValuesIn(kUnmakeable),
                         [](const ::testing::TestParamInfo<Unmakeable>& param) {
                             return param.param.name;
                         });

// The started copy tells its process id and then becomes a long sleep, so that its session,
// folder and descriptors can be read while it runs.
TEST_F(RestartCopy, StartsTheCopyInASessionOfItsOwnInTheTemporaryFolder) {
    const fs::path said = folder_.Path() / "pid";
    folder_.Write("zvfirm", "#!/bin/sh\necho $$ > '" + said.string() + "'\nexec sleep 60\n");
    // A descriptor this process leaves open across exec: the copy must not get it.
    const fs::path marker = folder_.Path() / "marker";
    const int inherited = open(marker.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(inherited, 0);

    LaunchRestartCopy();
    close(inherited);

    // No child of this process is left, not even a zombie.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pid_t copy = 0;
    std::string comm;
    while (std::chrono::steady_clock::now() < giveUp) {
        const std::string text = ReadWhole(said);
        if (!text.empty() && text.back() == '\n') {
            copy = static_cast<pid_t>(std::stol(text));
            comm = ReadWhole("/proc/" + std::to_string(copy) + "/comm");
            if (comm == "sleep\n") break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(comm, "sleep\n") << "the copy did not start";
    const fs::path proc = "/proc/" + std::to_string(copy);

    EXPECT_EQ(getsid(copy), copy) << "a session of its own";
    EXPECT_EQ(getpgid(copy), copy) << "a process group of its own";
    EXPECT_NE(getsid(copy), getsid(0));
    EXPECT_EQ(fs::read_symlink(proc / "cwd"), temp_);
    // The program that has just started may still hold a descriptor of its own for a moment
    // (the dynamic loader reading a library), so the set is read until it settles; an
    // inherited descriptor never goes and fails the check when the time is up.
    const std::map<std::string, std::string> expected{
        {"0", "/dev/null"}, {"1", "/dev/null"}, {"2", "/dev/null"}};
    std::map<std::string, std::string> descriptors;
    const auto settled = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        descriptors.clear();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(proc / "fd", error)) {
            const fs::path target = fs::read_symlink(entry.path(), error);
            if (!error) descriptors[entry.path().filename().string()] = target.string();
        }
        if (descriptors == expected) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < settled);
    EXPECT_EQ(descriptors, expected);

    kill(copy, SIGKILL);
}

}  // namespace
