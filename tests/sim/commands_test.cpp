#include <gtest/gtest.h>

#include <thread>

#include "tests/sim/sim_test_helpers.h"

namespace {

using namespace simtest;
using sim::Direction;

struct CommandCase {
    const char* name;
    const char* drive;  // description lines
    Bytes cdb;
    Direction direction;
    uint32_t length;
    const char* answer;
};

class CommandTableTest : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandTableTest, AnswersWithTheExpectedStatusAndSense) {
    const CommandCase& c = GetParam();
    auto drive = MakeDrive(c.drive);
    ASSERT_TRUE(drive);
    Bytes data(c.length, 0xAB);
    EXPECT_EQ(Summary(Send(*drive, c.cdb, c.direction, c.length ? data.data() : nullptr, c.length)),
              c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTableTest,
    testing::Values(
        CommandCase{"TurClosedEmpty", "medium = empty", TestUnitReadyCdb(), Direction::None, 0,
                    "02/3A/01"},
        CommandCase{"TurOpen", "medium = open", TestUnitReadyCdb(), Direction::None, 0, "02/3A/02"},
        CommandCase{"TurLoaded", "medium = loaded", TestUnitReadyCdb(), Direction::None, 0, "GOOD"},
        CommandCase{"TurTwelveBytes", "medium = loaded", Bytes(12, 0), Direction::None, 0, "GOOD"},
        CommandCase{
            "UnknownOpcode", "", {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::None, 0, "05/20/00"},
        CommandCase{"ShortWriteBuffer", "", {0x3B, 4, 0, 0, 0, 0}, Direction::None, 0, "05/24/00"},
        CommandCase{"TenByteVendorCommand",
                    "",
                    {0xF5, 0, 0, 0, 0, 0x0F, 0x80, 0x48, 0, 16},
                    Direction::In,
                    16,
                    "05/24/00"},
        CommandCase{"InquiryVitalProductData",
                    "",
                    {0x12, 1, 0x80, 0, 36, 0},
                    Direction::In,
                    36,
                    "05/24/00"},
        CommandCase{"InquiryWithoutDataIn", "", InquiryCdb(36), Direction::Out, 36, "05/24/00"},
        CommandCase{"WriteBufferWithoutData", "", WriteBufferCdb(4, 0, 0, 16), Direction::None, 0,
                    "05/24/00"},
        CommandCase{"WriteBufferShortData", "", WriteBufferCdb(4, 0, 0, 16), Direction::Out, 8,
                    "05/24/00"},
        CommandCase{"WriteBufferUnknownMode", "", WriteBufferCdb(7, 0, 0, 0), Direction::Out, 0,
                    "05/24/00"},
        CommandCase{"DownloadToOtherBuffer", "", WriteBufferCdb(4, 1, 0, 16), Direction::Out, 16,
                    "05/24/00"},
        CommandCase{"DownloadPastCapacity", "", WriteBufferCdb(4, 0, 0xFFFFFF, 16), Direction::Out,
                    16, "05/24/00"},
        CommandCase{"DownloadChunk", "", WriteBufferCdb(4, 0, 0x12000, 16), Direction::Out, 16,
                    "GOOD"},
        CommandCase{"BoardRecord", "", ReadBoardCdb(0xF8048, 16), Direction::In, 16, "GOOD"},
        CommandCase{"BoardPastAddressSpace", "", ReadBoardCdb(0xFFFFFFF8, 16), Direction::In, 16,
                    "05/21/00"},
        CommandCase{"VendorWrite", "", WriteVendorCdb(0x3A, 10), Direction::Out, 10, "GOOD"},
        CommandCase{"VendorWriteWithoutData", "", WriteVendorCdb(0x3A, 10), Direction::None, 0,
                    "05/24/00"},
        CommandCase{"StartStopClosesTray", "medium = open", StartStopCdb(3), Direction::None, 0,
                    "GOOD"}),
    [](const testing::TestParamInfo<CommandCase>& param) { return param.param.name; });

TEST(InquiryTest, ReportsTheDescribedIdentity) {
    auto drive = MakeDrive(
        "vendor = ZORVANT\nproduct = \"CDRW   ZV-52\"\nrevision = 1.0\n"
        "device_type = 0x25\ninquiry_byte3 = 0x02");
    for (const uint8_t opcode : {uint8_t{0x12}, uint8_t{0x13}}) {
        const Bytes data = InquiryData(*drive, opcode);
        EXPECT_EQ(data[0], 0x25);
        EXPECT_EQ(data[3], 0x02);
        EXPECT_EQ(data[4], 31);
        EXPECT_EQ(std::string(data.begin() + 8, data.end()), "ZORVANT CDRW   ZV-52    1.0 ")
            << "opcode " << int(opcode);
    }
}

TEST(InquiryTest, HonoursTheAllocationLength) {
    auto drive = MakeDrive("");
    Bytes data(40, 0xEE);
    const sim::Response response = Send(*drive, InquiryCdb(10), Direction::In, data.data(), 40);
    EXPECT_EQ(Summary(response), "GOOD");
    EXPECT_EQ(response.transferred, 10u);
    EXPECT_EQ(data[9], 'O');    // "ZORVANT " from byte 8
    EXPECT_EQ(data[10], 0xEE);  // beyond the allocation: untouched

    const sim::Response longer = Send(*drive, InquiryCdb(96), Direction::In, data.data(), 40);
    EXPECT_EQ(longer.transferred, 36u);
}

TEST(InquiryTest, FlappingAnswersAgreeOnlyAfterTheFlaps) {
    for (const uint32_t flaps : {0u, 1u, 2u, 5u}) {
        auto drive = MakeDrive("inquiry_flaps = " + std::to_string(flaps));
        std::vector<Bytes> reads;
        for (uint32_t i = 0; i < flaps + 2; ++i) {
            reads.push_back(InquiryData(*drive));
        }
        for (uint32_t i = 0; i + 1 < flaps + 1; ++i) {
            EXPECT_NE(reads[i], reads[i + 1]) << "flaps " << flaps << " read " << i;
        }
        EXPECT_EQ(reads[flaps], reads[flaps + 1]) << "flaps " << flaps;
        EXPECT_EQ(std::string(reads[flaps].begin() + 8, reads[flaps].begin() + 16), "ZORVANT ");
    }
}

TEST(TrayTest, StartStopUnitOpensAndClosesTheTray) {
    auto drive = MakeDrive("medium = loaded");
    EXPECT_EQ(TestUnitReady(*drive), "GOOD");
    EXPECT_EQ(Summary(Send(*drive, StartStopCdb(2))), "GOOD");  // LoEj, no Start: open
    EXPECT_EQ(TestUnitReady(*drive), "02/3A/02");
    EXPECT_EQ(Summary(Send(*drive, StartStopCdb(3))), "GOOD");  // LoEj, Start: close
    EXPECT_EQ(TestUnitReady(*drive), "GOOD");
    EXPECT_EQ(Summary(Send(*drive, StartStopCdb(1))), "GOOD");  // Start alone: no tray move
    EXPECT_EQ(TestUnitReady(*drive), "GOOD");
}

TEST(RequestSenseTest, ReturnsTheLastSenseOnce) {
    auto drive = MakeDrive("medium = open");
    EXPECT_EQ(TestUnitReady(*drive), "02/3A/02");
    Bytes data(18, 0);
    const Bytes cdb{0x03, 0, 0, 0, 18, 0};
    ASSERT_EQ(Summary(Send(*drive, cdb, Direction::In, data.data(), 18)), "GOOD");
    EXPECT_EQ(data[0], 0x70);
    EXPECT_EQ(data[2], 0x02);
    EXPECT_EQ(data[12], 0x3A);
    EXPECT_EQ(data[13], 0x02);
    ASSERT_EQ(Summary(Send(*drive, cdb, Direction::In, data.data(), 18)), "GOOD");
    EXPECT_EQ(data[2], 0x00);
}

TEST(VendorCommandTest, BoardRecordAndStoredVendorData) {
    auto drive = MakeDrive("board_version = 3");
    Bytes board(16, 0xEE);
    ASSERT_EQ(Summary(Send(*drive, ReadBoardCdb(0xF8048, 16), Direction::In, board.data(), 16)),
              "GOOD");
    Bytes expected(16, 0);
    expected[0] = 3;
    EXPECT_EQ(board, expected);

    Bytes block{'Z', 'O', 'R', 'V', 'A', 'N', 'T', ' ', 0x01, 0x02};
    ASSERT_EQ(Summary(Send(*drive, WriteVendorCdb(0x3A, 10), Direction::Out, block.data(), 10)),
              "GOOD");
    EXPECT_EQ(drive->VendorMemory(0x3A, 10), block);
    EXPECT_EQ(drive->VendorMemory(0x39, 1), Bytes{0});

    Bytes readBack(10, 0);
    ASSERT_EQ(Summary(Send(*drive, ReadBoardCdb(0x3A, 10), Direction::In, readBack.data(), 10)),
              "GOOD");
    EXPECT_EQ(readBack, block);
}

TEST(LogTest, RecordsEveryCommandWithBlockDirectionAndLength) {
    auto drive = MakeDrive("fault = command 2 : vanish");
    Bytes data(36, 0);
    Send(*drive, InquiryCdb(36, 0x13), Direction::In, data.data(), 36);
    Send(*drive, TestUnitReadyCdb());
    Send(*drive, WriteBufferCdb(0, 0x80, 0, 0), Direction::Out, nullptr, 0);
    const std::vector<sim::LoggedCommand> log = drive->Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].cdb, (Bytes{0x13, 0, 0, 0, 36, 0}));
    EXPECT_EQ(log[0].direction, Direction::In);
    EXPECT_EQ(log[0].length, 36u);
    EXPECT_EQ(log[1].cdb, TestUnitReadyCdb());
    EXPECT_EQ(log[1].direction, Direction::None);
    EXPECT_EQ(log[2].cdb, WriteBufferCdb(0, 0x80, 0, 0));
    EXPECT_EQ(log[2].direction, Direction::Out);
    EXPECT_EQ(log[2].length, 0u);
}

TEST(ConcurrencyTest, CommandsFromSeveralThreadsAreAllServedAndLogged) {
    auto drive = MakeDrive("medium = loaded");
    constexpr int kPerThread = 500;
    auto work = [&] {
        for (int i = 0; i < kPerThread; ++i) {
            Bytes data(36, 0);
            EXPECT_EQ(Summary(Send(*drive, InquiryCdb(36), Direction::In, data.data(), 36)),
                      "GOOD");
            EXPECT_EQ(TestUnitReady(*drive), "GOOD");
        }
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(drive->Log().size(), 4u * kPerThread);
}

}  // namespace
