// The update worker on its own thread, through both real transports, against a simulated
// drive: the commands the drive receives, the progress a monitor sees, the flash waits in
// virtual time, the failure text, and what the drive holds afterwards.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/update_config.h"
#include "scsi/failure_text.h"
#include "tests/update/update_rig.h"
#include "update/update_worker.h"
#include "update/worker_state.h"

namespace update_test {
namespace {

using namespace command;

constexpr uint32_t B = 8192;
constexpr uint32_t kHead = 0x3400;
constexpr uint32_t kSecondaryArea = 0x400;

// Sense answers and outcomes the faults below inject.
sim::Fault FaultAt(sim::FaultTrigger trigger, uint32_t ordinal, sim::FaultEffect effect,
                   sim::SenseCode sense = {}, uint8_t code = 0) {
    sim::Fault fault;
    fault.trigger = trigger;
    fault.ordinal = ordinal;
    fault.effect = effect;
    fault.sense = sense;
    fault.code = code;
    return fault;
}

std::vector<std::string> Prepare(bool openTray) {
    if (openTray) return {TestUnitReady(), TestUnitReady(), OpenTray()};
    return {TestUnitReady(), TestUnitReady()};
}

// Chunks 0..last of an image of n chunks: mode 4, and mode 5 for chunk n-1.
std::vector<std::string> Chunks(uint32_t n, uint32_t last) {
    std::vector<std::string> chunks;
    for (uint32_t k = 0; k <= last; ++k)
        chunks.push_back(WriteBuffer(k + 1 == n ? 5 : 4, 0, k * B, B));
    return chunks;
}

std::vector<std::string> Pass(uint32_t n) { return Chunks(n, n - 1); }

std::vector<std::string> Probes(int count) {
    return std::vector<std::string>(count, TestUnitReady());
}

std::vector<std::string> SecondaryUpdate() {
    return {ReadBuffer(0x84, 0, 7),
            WriteBuffer(0, 0x80, 0, 0),
            WriteBuffer(0, 0x81, kHead, kSecondaryArea),
            ReadBuffer(0x81, kHead, kSecondaryArea),
            WriteBuffer(0, 0x82, 0, 0),
            ReadBuffer(0x84, 0, 7)};
}

// The monitor's view of the first pass of n chunks: 1 .. n.
std::vector<Progress> Climb(uint32_t n) {
    std::vector<Progress> seen;
    for (uint32_t c = 1; c <= n; ++c) seen.push_back({1, c});
    return seen;
}

std::vector<Progress> Then(std::vector<Progress> seen, std::initializer_list<Progress> more) {
    seen.insert(seen.end(), more);
    return seen;
}

struct Scenario {
    const char* name;
    std::function<void(sim::DriveDescription&)> drive = [](sim::DriveDescription&) {};
    std::function<void(UpdateConfig&)> config = [](UpdateConfig&) {};
    uint32_t imageSize = 4 * B;
    bool secondary = false;  // the package names a secondary image (version 2.00A00)
    std::vector<std::string> commands = {};
    std::vector<Progress> seen = {};
    std::vector<uint32_t> sleeps = {};
    std::string passThroughText = {};  // LastErrorText afterwards ("" on success)
    std::string aspiText = {};         // when it differs from the pass-through text
    uint32_t flashes = 0;              // programmings the drive completed
    bool committed = false;            // the drive committed a secondary image
};

std::ostream& operator<<(std::ostream& out, const Scenario& s) { return out << s.name; }

const sim::SenseCode kTransferError{0x09, 0x88, 0x00};

// clang-format off
const Scenario kScenarios[] = {
    {.name = "FourChunksToADriveWithClosedEmptyTray",
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "OneChunkGoesAtOffsetZeroWithMode5",
     .imageSize = B,
     .commands = Concat({Prepare(false), {WriteBuffer(5, 0, 0, B)}}),
     .seen = {{1, 1}, {2, 0}},
     .sleeps = {15000},
     .flashes = 1},
    {.name = "BytesBeyondTheLastWholeChunkAreNotSent",
     .imageSize = 3 * B + 100,
     .commands = Concat({Prepare(false), Pass(3)}),
     .seen = Then(Climb(3), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "DiscLoadedOpensTheTray",
     .drive = [](sim::DriveDescription& d) { d.medium = sim::Medium::Loaded; },
     .commands = Concat({Prepare(true), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "OpenTrayIsOpenedAllTheSame",
     .drive = [](sim::DriveDescription& d) { d.medium = sim::Medium::Open; },
     .commands = Concat({Prepare(true), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "TrayProbeThatFailsOtherwiseOpensTheTray",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::Opcode, 2, sim::FaultEffect::Busy));
     },
     .commands = Concat({Prepare(true), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "SlowFinalChunkWaitsThreeSeconds",
     .drive = [](sim::DriveDescription& d) { d.finalChunkDelayMs = 1500; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {3000},
     .flashes = 1},
    {.name = "FinalChunkOfExactlyOneSecondCountsAsSlow",
     .drive = [](sim::DriveDescription& d) { d.finalChunkDelayMs = 1000; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {3000},
     .flashes = 1},
    {.name = "QuickFinalChunkWaitsTheConfiguredSeconds",
     .drive = [](sim::DriveDescription& d) { d.finalChunkDelayMs = 999; },
     .config = [](UpdateConfig& c) { c.WaitSeconds = 20; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {20000},
     .flashes = 1},
    {.name = "NoWaitSecondsMeansNoWait",
     .drive = [](sim::DriveDescription& d) { d.flashMs = 0; },
     .config = [](UpdateConfig& c) { c.WaitSeconds = 0; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {0},
     .flashes = 1},
    {.name = "SecondPassWhenTheDriveAsksForIt",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::TestUnitReadyAfterFlash, 3,
                                    sim::FaultEffect::Sense, {0x04, 0x40, 0xF7}));
     },
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(3), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000, 100, 100, 15000},
     .flashes = 2},
    {.name = "SlowSecondFinalChunkMeasuredFromItsOwnStart",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::TestUnitReadyAfterFlash, 3,
                                    sim::FaultEffect::Sense, {0x04, 0x40, 0xF7}));
         d.finalChunkDelayMs = 1200;
     },
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(3), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {3000, 100, 100, 3000},
     .flashes = 2},
    {.name = "NoSecondPassWhenTheDriveIsReady",
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(3)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000, 100, 100},
     .flashes = 1},
    {.name = "NoSecondPassForAnotherSenseCode",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::TestUnitReadyAfterFlash, 3,
                                    sim::FaultEffect::Sense, {0x04, 0x40, 0xF3}));
     },
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(3)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000, 100, 100},
     .flashes = 1},
    {.name = "SecondPassOnlyWhenTwiceUpdateIsOne",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::TestUnitReadyAfterFlash, 3,
                                    sim::FaultEffect::Sense, {0x04, 0x40, 0xF7}));
     },
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 2; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "TwoMoreProbesAfterTheUpdate",
     .config = [](UpdateConfig& c) { c.UpdateAfterCmd = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(2)}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "ThirdChunkFailsDuringTheTransfer",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(
             FaultAt(sim::FaultTrigger::Chunk, 2, sim::FaultEffect::Sense, kTransferError));
     },
     .commands = Concat({Prepare(false), Chunks(4, 2)}),
     .seen = {{1, 1}, {1, 2}, {1, 3}, {1, 0}},
     .passThroughText = "Firmware Transfer data error. (Code 09-88-00)"},
    {.name = "BusyChunkIsAFailure",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::Chunk, 1, sim::FaultEffect::Busy));
     },
     .commands = Concat({Prepare(false), Chunks(4, 1)}),
     .seen = {{1, 1}, {1, 2}, {1, 0}},
     .passThroughText = "Target_Status: BUSY"},
    {.name = "DriveVanishesInTheMiddleOfTheTransfer",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::Chunk, 2, sim::FaultEffect::Vanish));
     },
     .commands = Concat({Prepare(false), Chunks(4, 2)}),
     .seen = {{1, 1}, {1, 2}, {1, 3}, {1, 0}},
     .passThroughText = "System error (Win32): Code 21\n",
     .aspiText = "SCSI device not installed."},
    {.name = "FinalChunkRefusedWithAFlashError",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::Final, 1, sim::FaultEffect::Sense,
                                    {0x09, 0x86, 0x00}));
     },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{0, 4}}),
     .passThroughText = "Flash rom check sum error. (Code 09-86-00)"},
    {.name = "FinalChunkTimesOut",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::Final, 1, sim::FaultEffect::TimeOut));
     },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{0, 4}}),
     .passThroughText = "System error (Win32): Code 121\n",
     .aspiText = "HA_Status: While processing the SRB, the adapter timed out."},
    {.name = "ImageOfAnotherModelIsRefused",
     .drive = [](sim::DriveDescription& d) { d.product = "DVDR   ZV-999K  "; },
     .commands = Concat({Prepare(false), Pass(4)}),
     .seen = Then(Climb(4), {{0, 4}}),
     .passThroughText = "Firmware data error. (Code 09-87-00)"},
    {.name = "SecondPassChunkFailsAfterTheTransfer",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(FaultAt(sim::FaultTrigger::TestUnitReadyAfterFlash, 3,
                                    sim::FaultEffect::Sense, {0x04, 0x40, 0xF7}));
         d.faults.push_back(
             FaultAt(sim::FaultTrigger::Chunk, 5, sim::FaultEffect::Sense, kTransferError));
     },
     .config = [](UpdateConfig& c) { c.TwiceUpdate = 1; },
     .commands = Concat({Prepare(false), Pass(4), Probes(3), Chunks(4, 1)}),
     .seen = Then(Climb(4), {{0, 4}}),
     .sleeps = {15000, 100, 100},
     .passThroughText = "Firmware Transfer data error. (Code 09-88-00)",
     .flashes = 1},
    {.name = "SecondaryImageUpdatedAfterTheMainImage",
     .drive = [](sim::DriveDescription& d) { d.secondaryCommitVersion = "2.00A00"; },
     .config = [](UpdateConfig& c) { c.UpdateAfterCmd = 1; },
     .secondary = true,
     .commands = Concat({Prepare(false), Pass(4), Probes(2), SecondaryUpdate()}),
     .seen = Then(Climb(4), {{4, 4}, {2, 0}}),
     .sleeps = {15000, 100},
     .flashes = 1,
     .committed = true},
    {.name = "SecondaryImageAlreadyCurrent",
     .drive = [](sim::DriveDescription& d) { d.secondaryVersion = "2.00A00"; },
     .secondary = true,
     .commands = Concat({Prepare(false), Pass(4), {ReadBuffer(0x84, 0, 7)}}),
     .seen = Then(Climb(4), {{2, 0}}),
     .sleeps = {15000},
     .flashes = 1},
    {.name = "SecondaryImageThatReadsBackWrong",
     .drive = [](sim::DriveDescription& d) {
         d.secondaryCommitVersion = "2.00A00";
         d.readBackCorruption = {4};
     },
     .secondary = true,
     .commands = Concat({Prepare(false), Pass(4),
                         {ReadBuffer(0x84, 0, 7), WriteBuffer(0, 0x80, 0, 0),
                          WriteBuffer(0, 0x81, kHead, kSecondaryArea),
                          ReadBuffer(0x81, kHead, kSecondaryArea)}}),
     .seen = Then(Climb(4), {{4, 4}, {0, 4}}),
     .sleeps = {15000, 100},
     .passThroughText = "Firmware compare failure.",
     .flashes = 1},
    {.name = "SecondaryImageThatKeepsItsOldVersion",
     .secondary = true,
     .commands = Concat({Prepare(false), Pass(4), SecondaryUpdate()}),
     .seen = Then(Climb(4), {{4, 4}, {0, 4}}),
     .sleeps = {15000, 100},
     .passThroughText = "Firmware update failure.",
     .flashes = 1,
     .committed = true},
    // Sizes the configuration refuses: nothing is sent, nothing read beyond the image.
    {.name = "ImageSmallerThanOneChunkSendsNothing",
     .config = [](UpdateConfig& c) { c.BufferSize = 2 * B; },
     .imageSize = B,
     .seen = {{1, 1}, {0, 0}},
     .passThroughText = "Firmware update failure."},
    {.name = "ChunkSizeZeroSendsNothing",
     .config = [](UpdateConfig& c) { c.BufferSize = 0; },
     .seen = {{1, 1}, {0, 0}},
     .passThroughText = "Firmware update failure."},
};
// clang-format on

class WorkerScenarioTest : public testing::TestWithParam<std::tuple<Transport, Scenario>> {};

TEST_P(WorkerScenarioTest, SendsPublishesAndWaitsAsTheDriveAnswers) {
    const auto& [transport, s] = GetParam();
    sim::DriveDescription description = DefaultDrive();
    if (s.secondary) {
        description.hasSecondary = true;
        description.secondaryVersion = "1.00A00";
    }
    s.drive(description);
    if (!description.secondaryCommitVersion.empty()) description.hasCommitVersion = true;

    UpdateRig rig(transport, description);
    const std::vector<uint8_t> image = MakeImage(s.imageSize, "2.00");
    rig.UseImage(image);
    Config.BufferSize = B;
    Config.WaitSeconds = 15;
    std::vector<uint8_t> secondary;
    if (s.secondary) {
        std::strcpy(Config.EpsFileName, "ZV314K.EPS");
        std::strcpy(Config.EpsVersion, "2.00A00");
        secondary = MakeImage(kHead + kSecondaryArea, "EPS ");
        rig.UseSecondaryImage(secondary);
    }
    s.config(Config);
    LastErrorText = "text of an earlier update";

    rig.Sample();  // as the monitor finds it before the start
    ASSERT_TRUE(StartUpdateWorker());
    JoinUpdateWorker();
    rig.Sample();

    EXPECT_EQ(rig.Commands(), s.commands);
    EXPECT_EQ(rig.Seen(), s.seen);
    EXPECT_EQ(rig.Sleeps(), s.sleeps);
    const bool failed = !s.passThroughText.empty();
    const std::string text =
        transport == Transport::Aspi && !s.aspiText.empty() ? s.aspiText : s.passThroughText;
    EXPECT_EQ(LastErrorText, failed ? text : "text of an earlier update");

    EXPECT_EQ(rig.Drive().FlashCount(), s.flashes);
    EXPECT_EQ(rig.Drive().Revision(), s.flashes > 0 ? "2.00" : "1.00");
    if (s.flashes > 0) {
        // Every byte of the whole chunks, and nothing else, was programmed.
        const uint32_t sent = s.imageSize / B * B;
        EXPECT_EQ(rig.Drive().FlashedImage(),
                  std::vector<uint8_t>(image.begin(), image.begin() + sent));
    }
    const std::vector<uint8_t> committed = rig.Drive().CommittedSecondaryImage();
    EXPECT_EQ(!committed.empty(), s.committed);
    if (s.committed) {
        // The drive holds the area as the package has it.
        ASSERT_GE(committed.size(), secondary.size());
        EXPECT_TRUE(
            std::equal(secondary.begin() + kHead, secondary.end(), committed.begin() + kHead));
    }
}

INSTANTIATE_TEST_SUITE_P(BothTransports, WorkerScenarioTest,
                         testing::Combine(testing::Values(Transport::PassThrough, Transport::Aspi),
                                          testing::ValuesIn(kScenarios)),
                         [](const testing::TestParamInfo<std::tuple<Transport, Scenario>>& param) {
                             const Transport transport = std::get<0>(param.param);
                             return std::string(transport == Transport::PassThrough ? "PassThrough_"
                                                                                    : "Aspi_") +
                                    std::get<1>(param.param).name;
                         });

}  // namespace
}  // namespace update_test
