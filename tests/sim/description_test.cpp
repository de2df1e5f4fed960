#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "sim/attached.h"
#include "sim/description.h"

namespace {

using sim::DriveDescription;
using sim::FaultEffect;
using sim::FaultTrigger;

TEST(DescriptionTest, ReadsEveryKeyOfSeveralDrives) {
    const std::string text =
        "# two drives\n"
        "[drive]\n"
        "vendor = ZORVANT\n"
        "product = \"DVDR   ZV-314K\"   # blanks inside quotes stay\n"
        "revision = 1.00\n"
        "device_type = 0x25\n"
        "inquiry_byte3 = 0x02\n"
        "inquiry_flaps = 3\n"
        "medium = loaded\n"
        "flash_ms = 0\n"
        "final_chunk_delay_ms = 1500\n"
        "image_size = 262144\n"
        "check_identity = no\n"
        "board_version = 4\n"
        "eps_version = 1.00A\n"
        "eps_commit_version = 1.10A00\n"
        "eps_capacity = 0x20000\n"
        "eps_readback_corrupt = 2, 0 1\n"
        "fault = chunk 2 : sense 09/88/00\n"
        "fault = final : busy\n"
        "fault = opcode 0xF5 1 : timeout\n"
        "fault = command 40 : vanish\n"
        "fault = write_buffer 0x81 : sense 29/00/00\n"
        "fault = read_buffer 0x84 2 : sense 04/40/F3\n"
        "fault = tur_after_flash 3 : sense 04/40/F7\n"
        "\n"
        "[drive]\r\n"
        "medium = open\r\n";
    std::vector<DriveDescription> drives;
    std::string error;
    ASSERT_TRUE(sim::ParseDescription(text, "drives.sim", drives, error)) << error;
    ASSERT_EQ(drives.size(), 2u);

    const DriveDescription& d = drives[0];
    EXPECT_EQ(d.origin, "drives.sim:2");
    EXPECT_EQ(d.vendor, "ZORVANT ");
    EXPECT_EQ(d.product, "DVDR   ZV-314K  ");
    EXPECT_EQ(d.revision, "1.00");
    EXPECT_EQ(d.deviceType, 0x25);
    EXPECT_EQ(d.inquiryByte3, 0x02);
    EXPECT_EQ(d.inquiryFlaps, 3u);
    EXPECT_EQ(d.medium, sim::Medium::Loaded);
    EXPECT_EQ(d.flashMs, 0u);
    EXPECT_EQ(d.finalChunkDelayMs, 1500u);
    EXPECT_EQ(d.imageSize, 262144u);
    EXPECT_FALSE(d.checkIdentity);
    EXPECT_EQ(d.boardVersion, 4);
    EXPECT_TRUE(d.hasSecondary);
    EXPECT_EQ(d.secondaryVersion, std::string("1.00A\0\0", 7));
    EXPECT_TRUE(d.hasCommitVersion);
    EXPECT_EQ(d.secondaryCommitVersion, "1.10A00");
    EXPECT_EQ(d.secondaryCapacity, 0x20000u);
    EXPECT_EQ(d.readBackCorruption, (std::vector<uint32_t>{2, 0, 1}));

    ASSERT_EQ(d.faults.size(), 7u);
    EXPECT_EQ(d.faults[0].trigger, FaultTrigger::Chunk);
    EXPECT_EQ(d.faults[0].ordinal, 2u);
    EXPECT_FALSE(d.faults[0].every);
    EXPECT_EQ(d.faults[0].sense.key, 0x09);
    EXPECT_EQ(d.faults[0].sense.asc, 0x88);
    EXPECT_EQ(d.faults[1].trigger, FaultTrigger::Final);
    EXPECT_TRUE(d.faults[1].every);
    EXPECT_EQ(d.faults[1].effect, FaultEffect::Busy);
    EXPECT_EQ(d.faults[2].trigger, FaultTrigger::Opcode);
    EXPECT_EQ(d.faults[2].code, 0xF5);
    EXPECT_EQ(d.faults[2].ordinal, 1u);
    EXPECT_EQ(d.faults[2].effect, FaultEffect::TimeOut);
    EXPECT_EQ(d.faults[3].trigger, FaultTrigger::Command);
    EXPECT_EQ(d.faults[3].effect, FaultEffect::Vanish);
    EXPECT_EQ(d.faults[4].trigger, FaultTrigger::WriteBuffer);
    EXPECT_EQ(d.faults[4].code, 0x81);
    EXPECT_EQ(d.faults[4].sense.key, 0x29);
    EXPECT_EQ(d.faults[5].trigger, FaultTrigger::ReadBuffer);
    EXPECT_EQ(d.faults[5].ordinal, 2u);
    EXPECT_EQ(d.faults[6].trigger, FaultTrigger::TestUnitReadyAfterFlash);
    EXPECT_EQ(d.faults[6].sense.ascq, 0xF7);

    const DriveDescription& second = drives[1];
    EXPECT_EQ(second.medium, sim::Medium::Open);
    EXPECT_EQ(second.vendor, "ZORVANT ");
    EXPECT_FALSE(second.hasSecondary);
    EXPECT_TRUE(second.faults.empty());
}

struct BadDescription {
    const char* text;
    const char* error;
};

class DescriptionErrorTest : public testing::TestWithParam<BadDescription> {};

TEST_P(DescriptionErrorTest, ReportsFileLineAndReasonAndGivesNoDrive) {
    std::vector<DriveDescription> drives;
    std::string error;
    EXPECT_FALSE(sim::ParseDescription(GetParam().text, "bad.sim", drives, error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(drives.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EachError, DescriptionErrorTest,
    testing::Values(
        BadDescription{"", "bad.sim: no [drive] section"},
        BadDescription{"# nothing\n", "bad.sim: no [drive] section"},
        BadDescription{"vendor = X\n", "bad.sim:1: 'vendor' outside a [drive] section"},
        BadDescription{"[drive]\n[disk]\n",
                       "bad.sim:2: unknown section [disk] (only [drive] is known)"},
        BadDescription{"[drive]\nvendor ZORVANT\n", "bad.sim:2: expected 'key = value'"},
        BadDescription{"[drive]\ncolour = red\n", "bad.sim:2: unknown key 'colour'"},
        BadDescription{"[drive]\nvendor = A\nvendor = B\n",
                       "bad.sim:3: 'vendor' given twice for one drive"},
        BadDescription{"[drive]\nvendor = TOOLONGVENDOR\n",
                       "bad.sim:2: 'vendor' is longer than 8 characters"},
        BadDescription{"[drive]\nproduct = \"open\n", "bad.sim:2: missing closing quote"},
        BadDescription{"[drive]\nproduct = \"A\" B\n",
                       "bad.sim:2: unexpected text after the closing quote"},
        BadDescription{"[drive]\ndevice_type = 256\n",
                       "bad.sim:2: 'device_type' needs a number from 0 to 255, not '256'"},
        BadDescription{"[drive]\nflash_ms = soon\n",
                       "bad.sim:2: 'flash_ms' needs a number from 0 to 3600000, not 'soon'"},
        BadDescription{
            "[drive]\nimage_size = 0x1000001\n",
            "bad.sim:2: 'image_size' needs a number from 0 to 16777216, not '0x1000001'"},
        BadDescription{"[drive]\nmedium = full\n",
                       "bad.sim:2: 'medium' needs empty, open or loaded, not 'full'"},
        BadDescription{"[drive]\ncheck_identity = maybe\n",
                       "bad.sim:2: 'check_identity' needs yes or no, not 'maybe'"},
        BadDescription{"[drive]\neps_version = 1.00A00X\n",
                       "bad.sim:2: 'eps_version' is longer than 7 characters"},
        BadDescription{"[drive]\neps_readback_corrupt =\n",
                       "bad.sim:2: 'eps_readback_corrupt' needs a list of byte counts"},
        BadDescription{"[drive]\nfault = chunk 2\n",
                       "bad.sim:2: 'fault' needs '<which command> : <effect>'"},
        BadDescription{"[drive]\nfault = sometimes : busy\n",
                       "bad.sim:2: fault: unknown command selector 'sometimes'"},
        BadDescription{"[drive]\nfault = chunk : busy\n",
                       "bad.sim:2: fault: 'chunk' needs a number"},
        BadDescription{"[drive]\nfault = command 0 : busy\n",
                       "bad.sim:2: fault: '0' is not a count from 1"},
        BadDescription{"[drive]\nfault = opcode : busy\n",
                       "bad.sim:2: fault: 'opcode' needs a byte value"},
        BadDescription{"[drive]\nfault = final 1 2 : busy\n",
                       "bad.sim:2: fault: too many words in 'final'"},
        BadDescription{"[drive]\nfault = final : sense 4/40\n",
                       "bad.sim:2: fault: sense needs KK/AA/QQ in hexadecimal, not '4/40'"},
        BadDescription{
            "[drive]\nfault = final : explode\n",
            "bad.sim:2: fault: the effect must be 'sense KK/AA/QQ', busy, timeout or vanish"}));

class DescriptionFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() / ("zv_sim_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& text) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path) << text;
        return path.string();
    }

    std::filesystem::path folder_;
};

TEST_F(DescriptionFileTest, AttachesTheDrivesOfAGoodFile) {
    const std::string path = Write("good.sim", "[drive]\nrevision = 2.00\n[drive]\n");
    std::ostringstream errors;
    const auto drives = sim::LoadAttachedDrives(path.c_str(), errors);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->Revision(), "2.00");
    EXPECT_EQ(errors.str(), "");
}

TEST_F(DescriptionFileTest, AttachesNothingAndSaysWhyForABadFile) {
    const std::string path = Write("bad.sim", "[drive]\nspeed = 52\n");
    std::ostringstream errors;
    EXPECT_TRUE(sim::LoadAttachedDrives(path.c_str(), errors).empty());
    EXPECT_EQ(errors.str(), "zvfirm: simulated drives: " + path + ":2: unknown key 'speed'\n");
}

TEST_F(DescriptionFileTest, AttachesNothingForAMissingFile) {
    const std::string path = (folder_ / "missing.sim").string();
    std::ostringstream errors;
    EXPECT_TRUE(sim::LoadAttachedDrives(path.c_str(), errors).empty());
    EXPECT_EQ(errors.str(), "zvfirm: simulated drives: " + path + ": cannot be opened\n");
}

// A device or a FIFO named as the description is refused without being opened: a FIFO
// without a writer would otherwise block for ever.
TEST_F(DescriptionFileTest, AttachesNothingForAFileThatIsNotRegular) {
    const std::string fifo = (folder_ / "fifo.sim").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), folder_.string()}) {
        std::ostringstream errors;
        EXPECT_TRUE(sim::LoadAttachedDrives(path.c_str(), errors).empty());
        EXPECT_EQ(errors.str(), "zvfirm: simulated drives: " + path + ": is not a regular file\n");
    }
}

TEST_F(DescriptionFileTest, AttachesNothingQuietlyWithoutAPath) {
    std::ostringstream errors;
    EXPECT_TRUE(sim::LoadAttachedDrives(nullptr, errors).empty());
    EXPECT_TRUE(sim::LoadAttachedDrives("", errors).empty());
    EXPECT_EQ(errors.str(), "");
}

}  // namespace
