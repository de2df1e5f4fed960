#include <gtest/gtest.h>

#include "tests/sim/sim_test_helpers.h"

namespace {

using namespace simtest;
using sim::Direction;

constexpr uint32_t kChunk = 0x4000;
constexpr uint32_t kChunks = 4;

// One command of a script: which command, and the answer expected.
struct Step {
    enum Kind { Tur, Inquiry, Chunk, VersionRead, Begin } kind;
    uint32_t chunk = 0;  // for Chunk
    const char* answer = "GOOD";
};

Step Tur(const char* answer) { return {Step::Tur, 0, answer}; }
Step Chunk(uint32_t k, const char* answer) { return {Step::Chunk, k, answer}; }
Step Inq(const char* answer) { return {Step::Inquiry, 0, answer}; }

struct FaultCase {
    const char* name;
    const char* fault;  // description lines
    std::vector<Step> script;
};

class FaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, InjectedFaultHitsExactlyTheSelectedCommand) {
    const FaultCase& c = GetParam();
    auto drive = MakeDrive(std::string("flash_ms = 0\neps_version = 1.00A00\n") + c.fault);
    Bytes image = MakeImage(kChunks * kChunk, "SIMULATED DRIVE", "2.00", 0);
    Bytes scratch(64, 0);
    int index = 0;
    for (const Step& step : c.script) {
        sim::Response response;
        switch (step.kind) {
        case Step::Tur: response = Send(*drive, TestUnitReadyCdb()); break;
        case Step::Inquiry:
            response = Send(*drive, InquiryCdb(36), Direction::In, scratch.data(), 36);
            break;
        case Step::Chunk:
            response = Send(
                *drive,
                WriteBufferCdb(step.chunk + 1 == kChunks ? 5 : 4, 0, step.chunk * kChunk, kChunk),
                Direction::Out, image.data() + step.chunk * kChunk, kChunk);
            break;
        case Step::VersionRead:
            response = Send(*drive, ReadBufferCdb(0, 0x84, 0, 7), Direction::In, scratch.data(), 7);
            break;
        case Step::Begin:
            response = Send(*drive, WriteBufferCdb(0, 0x80, 0, 0), Direction::Out, nullptr, 0);
            break;
        }
        EXPECT_EQ(Summary(response), step.answer) << "step " << index;
        ++index;
    }
    EXPECT_EQ(drive->Log().size(), c.script.size());
}

const std::vector<Step> kWholeImage = {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"),
                                       Chunk(3, "GOOD")};

INSTANTIATE_TEST_SUITE_P(
    Table, FaultTest,
    testing::Values(
        FaultCase{"NoFault", "", kWholeImage},
        FaultCase{"SenseOnChunk",
                  "fault = chunk 1 : sense 09/88/00",
                  // the lost chunk leaves a gap that the final chunk notices
                  {Chunk(0, "GOOD"), Chunk(1, "09/88/00"), Chunk(2, "GOOD"), Chunk(3, "09/88/00")}},
        FaultCase{"SenseOnChunkOfSecondPass",
                  "fault = chunk 5 : sense 04/40/F6",
                  {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "GOOD"),
                   Chunk(0, "GOOD"), Chunk(1, "04/40/F6")}},
        FaultCase{"SenseOnFinalChunk",
                  "fault = final : sense 09/86/00",
                  {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "09/86/00"),
                   Chunk(3, "09/86/00")}},
        FaultCase{"SenseKeyByteWithFlags",
                  "fault = final 1 : sense 29/00/00",
                  {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "29/00/00"),
                   Chunk(3, "GOOD")}},
        FaultCase{"SecondPassRequest",
                  "fault = tur_after_flash 3 : sense 04/40/F7",
                  {Tur("02/3A/01"), Tur("02/3A/01"), Tur("02/3A/01"), Tur("02/3A/01"),
                   Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "GOOD"),
                   Tur("02/3A/01"), Tur("02/3A/01"), Tur("04/40/F7"), Tur("02/3A/01"),
                   // counted again after every flash
                   Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "GOOD"),
                   Tur("02/3A/01"), Tur("02/3A/01"), Tur("04/40/F7")}},
        FaultCase{"Busy",
                  "fault = opcode 0x00 2 : busy",
                  {Tur("02/3A/01"), Tur("BUSY"), Tur("02/3A/01")}},
        FaultCase{"BusyEveryTime",
                  "fault = opcode 0x12 : busy",
                  {Inq("BUSY"), Tur("02/3A/01"), Inq("BUSY")}},
        FaultCase{"TimeOutOnFinalChunk",
                  "fault = final 1 : timeout",
                  {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "GOOD"), Chunk(3, "TIMEOUT"),
                   Tur("02/3A/01")}},
        FaultCase{"TimeOutOnCommand",
                  "fault = command 2 : timeout",
                  {Tur("02/3A/01"), Inq("TIMEOUT"), Inq("GOOD")}},
        FaultCase{"VanishesAfterCommand",
                  "fault = command 3 : vanish",
                  {Tur("02/3A/01"), Chunk(0, "GOOD"), Chunk(1, "VANISHED"), Inq("VANISHED"),
                   Tur("VANISHED")}},
        FaultCase{"VanishesDuringChunk",
                  "fault = chunk 2 : vanish",
                  {Chunk(0, "GOOD"), Chunk(1, "GOOD"), Chunk(2, "VANISHED"), Tur("VANISHED")}},
        FaultCase{"FirstListedFaultWins",
                  "fault = command 2 : busy\nfault = opcode 0x00 : sense 04/40/F3",
                  {Tur("04/40/F3"), Tur("BUSY"), Tur("04/40/F3")}},
        FaultCase{"SecondaryVersionRead",
                  "fault = read_buffer 0x84 2 : sense 05/24/00",
                  {{Step::VersionRead}, {Step::VersionRead, 0, "05/24/00"}, {Step::VersionRead}}},
        FaultCase{"SecondaryBegin",
                  "fault = write_buffer 0x80 : sense 04/40/F3",
                  {{Step::Begin, 0, "04/40/F3"}, {Step::Begin, 0, "04/40/F3"}}}),
    [](const testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

TEST(FaultEffectTest, AFaultedFinalChunkLeavesTheFirmwareAlone) {
    auto drive = MakeDrive("flash_ms = 0\nfault = final 1 : timeout");
    const Bytes image = MakeImage(kChunks * kChunk, "SIMULATED DRIVE", "2.00", 0);
    EXPECT_EQ(SendImage(*drive, image, kChunk).back(), "TIMEOUT");
    EXPECT_EQ(drive->Revision(), "1.00");
    EXPECT_EQ(drive->FlashCount(), 0u);
}

TEST(FaultEffectTest, VanishedDeviceStillLogsWhatWasSent) {
    auto drive = MakeDrive("fault = command 1 : vanish");
    EXPECT_EQ(TestUnitReady(*drive), "VANISHED");
    EXPECT_EQ(TestUnitReady(*drive), "VANISHED");
    EXPECT_EQ(drive->Log().size(), 2u);
}

}  // namespace
