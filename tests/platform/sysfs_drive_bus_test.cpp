#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/linux/sysfs_drive_bus.h"
#include "platform/linux/sysfs_optical_drives.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using platform::linux_os::FindOpticalDrives;
using platform::linux_os::OpticalDrive;
using platform::linux_os::ReadDmaAlignment;
using platform::linux_os::SysfsDriveBus;

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A sysfs tree and a device folder in a temporary folder:
//   sr0   no generic node            queue/dma_alignment 511   device node: a file
//   sr1   device/scsi_generic/sg3    queue/dma_alignment 3     device node: a folder
//                                                              (opens for reading only)
//   sr2   empty scsi_generic folder  no dma_alignment          no device node
//   sr10  old-style scsi_generic:sg7 dma_alignment "junk"      device node: a file
// and block devices that are no optical drives: sda, loop0, sr, srx, sr1p1.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Path().empty());
        root_ = folder_.Path();
        sys_ = root_ / "sys";
        dev_ = root_ / "dev";
        const fs::path block = sys_ / "class" / "block";
        WriteFile(block / "sr0" / "queue" / "dma_alignment", "511\n");
        WriteFile(block / "sr1" / "queue" / "dma_alignment", "3\n");
        WriteFile(block / "sr1" / "device" / "scsi_generic" / "sg3" / "dev", "21:3\n");
        fs::create_directories(block / "sr2" / "device" / "scsi_generic");
        WriteFile(block / "sr10" / "queue" / "dma_alignment", "junk\n");
        WriteFile(block / "sr10" / "device" / "scsi_generic:sg7" / "dev", "21:7\n");
        for (const char* other : {"sda", "loop0", "sr", "srx", "sr1p1"})
            WriteFile(block / other / "queue" / "dma_alignment", "511\n");

        WriteFile(dev_ / "sr0", "");
        fs::create_directories(dev_ / "sg3");
        WriteFile(dev_ / "sg7", "");
    }
    test_support::TempFolder folder_{"zv_sysfs"};
    fs::path root_, sys_, dev_;
};

TEST_F(FakeSysfs, FindsOpticalDrivesInNumericOrderWithTheirGenericNodes) {
    const std::vector<OpticalDrive> drives = FindOpticalDrives(sys_, dev_);
    ASSERT_EQ(drives.size(), 4u);
    const std::pair<const char*, fs::path> expected[] = {{"sr0", dev_ / "sr0"},
                                                         {"sr1", dev_ / "sg3"},
                                                         {"sr2", dev_ / "sr2"},
                                                         {"sr10", dev_ / "sg7"}};
    for (size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].blockName, expected[i].first);
        EXPECT_EQ(drives[i].devicePath, expected[i].second.string());
    }
}

TEST_F(FakeSysfs, NoBlockClassMeansNoDrives) {
    EXPECT_TRUE(FindOpticalDrives(root_ / "nothing", dev_).empty());
}

TEST_F(FakeSysfs, ReadsTheDmaAlignment) {
    struct Case {
        const char* content;  // null: no file
        bool readable;
        uint32_t mask;
    } const cases[] = {
        {"511\n", true, 511}, {"0", true, 0},      {"4095", true, 4095},
        {"junk", false, 0},   {"-1", false, 0},    {"", false, 0},
        {"3x", false, 0},     {nullptr, false, 0}, {"4294967296", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no file)");
        const fs::path file = sys_ / "class" / "block" / "sr5" / "queue" / "dma_alignment";
        fs::remove(file);
        if (c.content != nullptr) WriteFile(file, c.content);
        uint32_t mask = 0xDEAD;
        EXPECT_EQ(ReadDmaAlignment(sys_, "sr5", &mask), c.readable);
        if (c.readable) {
            EXPECT_EQ(mask, c.mask);
        }
    }
}

TEST_F(FakeSysfs, LettersFromDOnwardNameTheDrives) {
    SysfsDriveBus bus(sys_, dev_);
    for (char letter : std::string("DEFGdg"))
        EXPECT_EQ(bus.DriveType(letter), platform::kDriveCdrom) << letter;
    for (char letter : std::string("ABCHZaz@[0"))
        EXPECT_EQ(bus.DriveType(letter), platform::kDriveNoRootDir) << letter;
}

TEST_F(FakeSysfs, OpensQueriesAndClosesTheDeviceNodes) {
    SysfsDriveBus bus(sys_, dev_);

    // D: sr0, a node that opens both ways.
    platform::DriveHandle d = bus.Open('D', true);
    ASSERT_NE(d, platform::kInvalidDrive);
    EXPECT_EQ(fcntl(d, F_GETFL) & O_ACCMODE, O_RDWR);
    EXPECT_NE(fcntl(d, F_GETFL) & O_NONBLOCK, 0);
    uint32_t mask = 0;
    EXPECT_TRUE(bus.QueryAlignmentMask(d, &mask));
    EXPECT_EQ(mask, 511u);
    bus.Close(d);
    errno = 0;
    EXPECT_EQ(fcntl(d, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(bus.QueryAlignmentMask(d, &mask));

    // E: sr1 through sg3, which opens for reading only.
    EXPECT_EQ(bus.Open('E', true), platform::kInvalidDrive);
    platform::DriveHandle e = bus.Open('E', false);
    ASSERT_NE(e, platform::kInvalidDrive);
    EXPECT_TRUE(bus.QueryAlignmentMask(e, &mask));
    EXPECT_EQ(mask, 3u);
    bus.Close(e);

    // F: sr2 has no device node; H: is no drive at all.
    EXPECT_EQ(bus.Open('F', true), platform::kInvalidDrive);
    EXPECT_EQ(bus.Open('F', false), platform::kInvalidDrive);
    EXPECT_EQ(bus.Open('H', false), platform::kInvalidDrive);

    // G: sr10 opens, but its alignment cannot be read.
    platform::DriveHandle g = bus.Open('G', true);
    ASSERT_NE(g, platform::kInvalidDrive);
    EXPECT_FALSE(bus.QueryAlignmentMask(g, &mask));

    // A node that is no SCSI device refuses SG_IO: the request fails with an I/O error.
    platform::PassThroughBlock block{};
    block.Sptd.CdbLength = 6;
    block.Sptd.DataIn = platform::kDataUnspecified;
    block.Sptd.TimeOutValue = 10;
    uint32_t systemError = 0;
    EXPECT_FALSE(bus.Send(g, block, &systemError));
    EXPECT_EQ(systemError, platform::kErrorIoDevice);
    bus.Close(g);
}

TEST_F(FakeSysfs, KeepsTheLettersOfTheFirstScanForTheRun) {
    SysfsDriveBus bus(sys_, dev_);
    ASSERT_EQ(bus.DriveType('G'), platform::kDriveCdrom);
    // A drive that appears later does not move the letters of the others.
    WriteFile(sys_ / "class" / "block" / "sr3" / "queue" / "dma_alignment", "3");
    EXPECT_EQ(bus.DriveType('H'), platform::kDriveNoRootDir);
    platform::DriveHandle g = bus.Open('G', true);
    ASSERT_NE(g, platform::kInvalidDrive);
    uint32_t mask = 0;
    EXPECT_FALSE(bus.QueryAlignmentMask(g, &mask));  // still sr10
    bus.Close(g);
}

}  // namespace
