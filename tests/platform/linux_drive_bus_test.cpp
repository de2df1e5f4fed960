#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/linux/linux_platform.h"

namespace {

namespace fs = std::filesystem;

// The drive bus is chosen once per process, so each check runs in a fresh child process
// (the "threadsafe" death-test style re-executes the test program) with ZVFIRM_SIMULATE
// set there. The child exits 0 when the bus behaved, another code naming the check that
// failed otherwise.
class LinuxDrivesChoice : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        char pattern[] = "/tmp/zv_simulate_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string WriteDescription(const std::string& text) {
        const fs::path file = folder_ / "drives.txt";
        std::ofstream(file) << text;
        return file.string();
    }

    fs::path folder_;
};

[[noreturn]] void CheckTwoSimulatedDrives(const std::string& description) {
    setenv("ZVFIRM_SIMULATE", description.c_str(), 1);
    platform::DriveBus& bus = platform::linux_os::LinuxDrives();
    // The description is read by now; the child's own temporary folder can go.
    fs::remove_all(fs::path(description).parent_path());
    if (bus.DriveType('D') != platform::kDriveCdrom) _exit(10);
    if (bus.DriveType('E') != platform::kDriveCdrom) _exit(11);
    if (bus.DriveType('F') != platform::kDriveNoRootDir) _exit(12);
    if (&platform::linux_os::LinuxDrives() != &bus) _exit(13);

    // E: answers INQUIRY with the identity of the second drive of the file.
    platform::DriveHandle e = bus.Open('E', true);
    if (e == platform::kInvalidDrive) _exit(20);
    uint8_t inquiry[36] = {};
    platform::PassThroughBlock block{};
    block.Sptd.CdbLength = 6;
    block.Sptd.Cdb[0] = 0x12;
    block.Sptd.Cdb[4] = 36;
    block.Sptd.DataIn = platform::kDataIn;
    block.Sptd.DataTransferLength = 36;
    block.Sptd.DataBuffer = inquiry;
    block.Sptd.SenseInfoLength = 32;
    block.Sptd.TimeOutValue = 10;
    uint32_t systemError = 0;
    if (!bus.Send(e, block, &systemError)) _exit(21);
    bus.Close(e);
    if (std::memcmp(inquiry + 32, "2.50", 4) != 0) _exit(22);
    _exit(0);
}

TEST_F(LinuxDrivesChoice, SimulatedDrivesFromTheDescriptionTakeTheLetters) {
    const std::string file = WriteDescription(
        "[drive]\n"
        "revision = 1.00\n"
        "[drive]\n"
        "revision = 2.50\n"
        "medium = loaded\n");
    EXPECT_EXIT(CheckTwoSimulatedDrives(file), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void CheckNoDrives(const std::string& description) {
    setenv("ZVFIRM_SIMULATE", description.c_str(), 1);
    platform::DriveBus& bus = platform::linux_os::LinuxDrives();
    fs::remove_all(fs::path(description).parent_path());
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (bus.DriveType(letter) != platform::kDriveNoRootDir) _exit(letter);
    if (bus.Open('D', false) != platform::kInvalidDrive) _exit(1);
    _exit(0);
}

TEST_F(LinuxDrivesChoice, AnUnreadableDescriptionAttachesNoDriveAtAll) {
    const std::string file = WriteDescription("[drive]\nno equals sign here\n");
    EXPECT_EXIT(CheckNoDrives(file), ::testing::ExitedWithCode(0), "simulated drives");
}

}  // namespace
