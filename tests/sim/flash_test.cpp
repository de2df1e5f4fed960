#include <gtest/gtest.h>

#include <chrono>

#include "tests/sim/sim_test_helpers.h"

namespace {

using namespace simtest;
using namespace std::chrono_literals;
using sim::Direction;

constexpr char kDrive[] = "product = \"DVDR   ZV-314K\"\nrevision = 1.00\n";

TEST(FlashTest, NewRevisionAppearsWhenTheProgrammingTimeHasPassed) {
    auto drive = MakeDrive(std::string(kDrive) + "flash_ms = 600000\nmedium = loaded\n");
    const Bytes image = MakeImage(0x20000, "DVDR   ZV-314K  ", "1.02");
    EXPECT_EQ(SendImage(*drive, image, 0x8000),
              (std::vector<std::string>{"GOOD", "GOOD", "GOOD", "GOOD"}));

    // Programming: not ready, still the old firmware, nothing else accepted.
    EXPECT_EQ(TestUnitReady(*drive), "02/04/07");
    EXPECT_EQ(InquiryRevision(*drive), "1.00");
    Bytes board(16);
    EXPECT_EQ(Summary(Send(*drive, ReadBoardCdb(0xF8048, 16), Direction::In, board.data(), 16)),
              "02/04/07");
    drive->AdvanceClock(300s);
    EXPECT_EQ(TestUnitReady(*drive), "02/04/07");
    EXPECT_EQ(drive->FlashCount(), 0u);

    drive->AdvanceClock(300s);
    EXPECT_EQ(TestUnitReady(*drive), "GOOD");
    EXPECT_EQ(InquiryRevision(*drive), "1.02");
    EXPECT_EQ(drive->Revision(), "1.02");
    EXPECT_EQ(drive->FlashCount(), 1u);
}

TEST(FlashTest, ASecondDownloadAfterTheFlashProgramsAgain) {
    auto drive = MakeDrive(std::string(kDrive) + "flash_ms = 0\n");
    EXPECT_EQ(SendImage(*drive, MakeImage(0x20000, "DVDR   ZV-314K", "1.02"), 0x8000).back(),
              "GOOD");
    EXPECT_EQ(InquiryRevision(*drive), "1.02");
    EXPECT_EQ(SendImage(*drive, MakeImage(0x20000, "DVDR   ZV-314K", "1.03"), 0x10000).back(),
              "GOOD");
    EXPECT_EQ(InquiryRevision(*drive), "1.03");
    EXPECT_EQ(drive->FlashCount(), 2u);
}

struct ImageCase {
    const char* name;
    const char* drive;  // description lines besides kDrive
    uint32_t size;
    const char* product;   // of the identity block
    uint32_t blockOffset;  // where the block goes; UINT32_MAX: no block
    int skipChunk;         // chunk left out of the transfer, -1 for none
    const char* answer;    // of the final chunk
    const char* revision;  // afterwards
};

class ImageCheckTest : public testing::TestWithParam<ImageCase> {};

TEST_P(ImageCheckTest, FinalChunkChecksTheReceivedImage) {
    const ImageCase& c = GetParam();
    auto drive = MakeDrive(std::string(kDrive) + "flash_ms = 0\n" + c.drive);
    Bytes image = c.blockOffset == UINT32_MAX ? Bytes(c.size, 0x11)
                                              : MakeImage(c.size, c.product, "1.02", c.blockOffset);
    constexpr uint32_t kChunk = 0x4000;
    const uint32_t count = c.size / kChunk;
    std::string last;
    for (uint32_t k = 0; k < count; ++k) {
        if (static_cast<int>(k) == c.skipChunk) {
            continue;
        }
        last = Summary(Send(*drive, WriteBufferCdb(k + 1 == count ? 5 : 4, 0, k * kChunk, kChunk),
                            Direction::Out, image.data() + k * kChunk, kChunk));
    }
    EXPECT_EQ(last, c.answer);
    EXPECT_EQ(drive->Revision(), c.revision);
    EXPECT_EQ(TestUnitReady(*drive), "02/3A/01");  // never left programming
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImageCheckTest,
    testing::Values(
        ImageCase{"Accepted", "", 0x20000, "DVDR   ZV-314K", 0x10000, -1, "GOOD", "1.02"},
        ImageCase{"BlockAtZeroInSmallImage", "", 0x8000, "DVDR   ZV-314K", 0, -1, "GOOD", "1.02"},
        ImageCase{"MissingChunk", "", 0x20000, "DVDR   ZV-314K", 0x10000, 2, "09/88/00", "1.00"},
        ImageCase{"MissingFirstChunk", "", 0x20000, "DVDR   ZV-314K", 0x10000, 0, "09/88/00",
                  "1.00"},
        ImageCase{"WrongSize", "image_size = 0x40000", 0x20000, "DVDR   ZV-314K", 0x10000, -1,
                  "09/88/00", "1.00"},
        ImageCase{"AnnouncedSize", "image_size = 0x20000", 0x20000, "DVDR   ZV-314K", 0x10000, -1,
                  "GOOD", "1.02"},
        ImageCase{"ForeignProduct", "", 0x20000, "CDRW   ZV-52", 0x10000, -1, "09/87/00", "1.00"},
        ImageCase{"NoIdentityBlock", "", 0x20000, "", UINT32_MAX, -1, "09/87/00", "1.00"},
        ImageCase{"BlockAtZeroInLargeImageIsFound", "", 0x20000, "DVDR   ZV-314K", 0, -1, "GOOD",
                  "1.02"},
        ImageCase{"ForeignAcceptedWithoutCheck", "check_identity = no", 0x20000, "CDRW   ZV-52",
                  0x10000, -1, "GOOD", "1.02"},
        ImageCase{"NoBlockWithoutCheckKeepsRevision", "check_identity = no", 0x20000, "",
                  UINT32_MAX, -1, "GOOD", "1.00"}),
    [](const testing::TestParamInfo<ImageCase>& param) { return param.param.name; });

TEST(FlashTest, BlockAt0x10000WinsOverBlockAtZero) {
    auto drive = MakeDrive(std::string(kDrive) + "flash_ms = 0\n");
    Bytes image = MakeImage(0x20000, "DVDR   ZV-314K", "1.02", 0x10000);
    const Bytes other = MakeImage(28, "DVDR   ZV-314K", "0.99", 0);
    std::copy(other.begin(), other.end(), image.begin());
    EXPECT_EQ(SendImage(*drive, image, 0x8000).back(), "GOOD");
    EXPECT_EQ(drive->Revision(), "1.02");
}

TEST(FlashTest, EmptyFinalChunkIsRefused) {
    auto drive = MakeDrive(std::string(kDrive) + "flash_ms = 0\n");
    EXPECT_EQ(Summary(Send(*drive, WriteBufferCdb(5, 0, 0, 0), Direction::Out, nullptr, 0)),
              "09/88/00");
}

}  // namespace
