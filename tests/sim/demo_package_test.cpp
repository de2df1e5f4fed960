// The demo package and the demo drive fit together: the generated image, sent with the
// package's sizes, is accepted by the drive that demo-drive.sim describes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "tests/sim/sim_test_helpers.h"

namespace {

using namespace simtest;
using namespace std::chrono_literals;
using sim::Direction;

const std::string kDemo = std::string(ZV_SOURCE_DIR) + "/examples/demo/";

// The number after `key` on its line of the package's INI file.
uint32_t IniNumber(const std::string& key) {
    std::ifstream ini(kDemo + "zorvfirm.ini");
    std::string line;
    while (std::getline(ini, line)) {
        if (line.rfind(key, 0) == 0) {
            return static_cast<uint32_t>(std::stoul(line.substr(key.size())));
        }
    }
    ADD_FAILURE() << key << " not in zorvfirm.ini";
    return 0;
}

TEST(DemoPackageTest, DemoDriveAcceptsTheGeneratedImage) {
    std::vector<sim::DriveDescription> drives;
    std::string error;
    ASSERT_TRUE(sim::LoadDescriptionFile(kDemo + "demo-drive.sim", drives, error)) << error;
    ASSERT_EQ(drives.size(), 1u);
    sim::Drive drive(drives[0]);

    const std::string imagePath =
        (std::filesystem::temp_directory_path() / ("zv_demo_image_" + std::to_string(::getpid())))
            .string();
    ASSERT_EQ(std::system((std::string(ZV_MAKE_IMAGE) + " " + imagePath).c_str()), 0);
    std::ifstream file(imagePath, std::ios::binary);
    Bytes image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::filesystem::remove(imagePath);

    const uint32_t size = IniNumber("FIRMWAREFILESIZE=");
    const uint32_t chunk = IniNumber("BUFFERSIZE=");
    ASSERT_EQ(image.size(), size);
    ASSERT_GT(chunk, 0u);

    const Bytes inquiry = InquiryData(drive);
    EXPECT_EQ(std::string(inquiry.begin() + 8, inquiry.begin() + 32),
              std::string(image.begin() + 0x10000, image.begin() + 0x10000 + 24));
    Bytes board(16);
    ASSERT_EQ(Summary(Send(drive, ReadBoardCdb(0xF8048, 16), Direction::In, board.data(), 16)),
              "GOOD");
    EXPECT_LE(board[0], IniNumber("USE PCB VERSION CHECK="));

    EXPECT_EQ(TestUnitReady(drive), "GOOD");  // a disc is loaded: the tray gets opened
    for (const std::string& answer : SendImage(drive, image, chunk)) {
        EXPECT_EQ(answer, "GOOD");
    }
    drive.AdvanceClock(std::chrono::milliseconds(drives[0].flashMs));
    EXPECT_EQ(InquiryRevision(drive),
              std::string(image.begin() + 0x10018, image.begin() + 0x1001C));
    EXPECT_EQ(InquiryRevision(drive), "1.02");
}

}  // namespace
