// The secondary image update through both real transports against a simulated drive: the
// version check, the begin/write/read-back sequence with its retries, the mismatch count
// over the whole call, the commit and the final version check.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/update_config.h"
#include "scsi/failure_text.h"
#include "tests/update/update_rig.h"
#include "update/secondary_image.h"
#include "update/worker_state.h"

namespace update_test {
namespace {

using namespace command;

constexpr uint32_t kHead = 0x3400;
constexpr uint32_t L = 0x400;  // the written area

const std::string kVersion = "1.00A00";         // on the drive
const std::string kPackageVersion = "2.00A00";  // in the package

std::string Version() { return ReadBuffer(0x84, 0, 7); }
std::string Begin() { return WriteBuffer(0, 0x80, 0, 0); }
std::string Write() { return WriteBuffer(0, 0x81, kHead, L); }
std::string ReadBack() { return ReadBuffer(0x81, kHead, L); }
std::string Commit() { return WriteBuffer(0, 0x82, 0, 0); }

sim::Fault Hit(sim::FaultTrigger trigger, uint8_t bufferId, uint32_t ordinal,
               sim::FaultEffect effect = sim::FaultEffect::Sense,
               sim::SenseCode sense = {0x09, 0x85, 0x00}) {
    sim::Fault fault;
    fault.trigger = trigger;
    fault.code = bufferId;
    fault.every = ordinal == 0;
    fault.ordinal = ordinal;
    fault.effect = effect;
    fault.sense = sense;
    return fault;
}

struct Case {
    const char* name;
    std::function<void(sim::DriveDescription&)> drive = [](sim::DriveDescription&) {};
    uint32_t size = kHead + L;  // EpsSize
    std::vector<std::string> commands = {};
    int result = 0;
    std::string text = {};  // DescribeFailure of a non-zero result
    bool begun = false;     // WorkerState became 4
    std::string versionAfter = kVersion;
    std::function<void(UpdateConfig&)> config = [](UpdateConfig&) {};
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

// clang-format off
const Case kCases[] = {
    {.name = "NothingToSendAtTheSkippedHeadSize",
     .size = kHead},
    {.name = "DriveAlreadyHoldsThePackageVersion",
     .drive = [](sim::DriveDescription& d) { d.secondaryVersion = kPackageVersion; },
     .commands = {Version()},
     .versionAfter = kPackageVersion},
    {.name = "OnlySevenCharactersOfTheVersionCount",
     .drive = [](sim::DriveDescription& d) { d.secondaryVersion = kPackageVersion; },
     .commands = {Version()},
     .versionAfter = kPackageVersion,
     .config = [](UpdateConfig& c) { c.EpsVersion[7] = 'X'; }},
    {.name = "UpdatedAndCommitted",
     .commands = {Version(), Begin(), Write(), ReadBack(), Commit(), Version()},
     .begun = true,
     .versionAfter = kPackageVersion},
    {.name = "WriteFailsFourTimes",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::WriteBuffer, 0x81, 0));
     },
     .commands = {Version(), Begin(), Write(), Begin(), Write(), Begin(), Write(), Begin(),
                  Write()},
     .result = 4,
     .text = "Flash rom write error. (Code 09-85-00)",
     .begun = true},
    {.name = "WriteFailsOnceThenSucceeds",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::WriteBuffer, 0x81, 1));
     },
     .commands = {Version(), Begin(), Write(), Begin(), Write(), ReadBack(), Commit(),
                  Version()},
     .begun = true,
     .versionAfter = kPackageVersion},
    {.name = "ReadBackFailsFourTimes",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::ReadBuffer, 0x81, 0, sim::FaultEffect::Sense,
                                {0x04, 0x40, 0xF5}));
     },
     .commands = {Version(), Begin(), Write(), ReadBack(), Begin(), ReadBack(), Begin(),
                  ReadBack(), Begin(), ReadBack()},
     .result = 4,
     .text = "Firmware data error. (Code 04-40-f5)",
     .begun = true},
    {.name = "TwoDifferingBytesThenACleanReadBack",
     .drive = [](sim::DriveDescription& d) { d.readBackCorruption = {2, 0}; },
     .commands = {Version(), Begin(), Write(), ReadBack(), Write(), ReadBack(), Commit(),
                  Version()},
     .begun = true,
     .versionAfter = kPackageVersion},
    {.name = "ThreeDifferingBytesOverThreeReadBacksAreTolerated",
     .drive = [](sim::DriveDescription& d) { d.readBackCorruption = {1, 1, 1, 0}; },
     .commands = {Version(), Begin(), Write(), ReadBack(), Write(), ReadBack(), Write(),
                  ReadBack(), Write(), ReadBack(), Commit(), Version()},
     .begun = true,
     .versionAfter = kPackageVersion},
    {.name = "TwoAndTwoDifferingBytesFailTheSecondComparison",
     .drive = [](sim::DriveDescription& d) { d.readBackCorruption = {2, 2}; },
     .commands = {Version(), Begin(), Write(), ReadBack(), Write(), ReadBack()},
     .result = -4,
     .text = "Firmware compare failure.",
     .begun = true},
    {.name = "FourDifferingBytesFailTheFirstComparison",
     .drive = [](sim::DriveDescription& d) { d.readBackCorruption = {4}; },
     .commands = {Version(), Begin(), Write(), ReadBack()},
     .result = -4,
     .text = "Firmware compare failure.",
     .begun = true},
    {.name = "OldVersionAfterTheCommit",
     .drive = [](sim::DriveDescription& d) { d.hasCommitVersion = false; },
     .commands = {Version(), Begin(), Write(), ReadBack(), Commit(), Version()},
     .result = -5,
     .text = "Firmware update failure.",
     .begun = true},
    {.name = "VersionReadFails",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::ReadBuffer, 0x84, 1, sim::FaultEffect::Sense,
                                {0x04, 0x40, 0xF6}));
     },
     .commands = {Version()},
     .result = 4,
     .text = "Firmware Transfer data error. (Code 04-40-f6)"},
    {.name = "BeginFails",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::WriteBuffer, 0x80, 1));
     },
     .commands = {Version(), Begin()},
     .result = 4,
     .text = "Flash rom write error. (Code 09-85-00)",
     .begun = true},
    {.name = "CommitFails",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::WriteBuffer, 0x82, 1));
     },
     .commands = {Version(), Begin(), Write(), ReadBack(), Commit()},
     .result = 4,
     .text = "Flash rom write error. (Code 09-85-00)",
     .begun = true},
    {.name = "FinalVersionReadFails",
     .drive = [](sim::DriveDescription& d) {
         d.faults.push_back(Hit(sim::FaultTrigger::ReadBuffer, 0x84, 2, sim::FaultEffect::Sense,
                                {0x09, 0x84, 0x00}));
     },
     .commands = {Version(), Begin(), Write(), ReadBack(), Commit(), Version()},
     .result = 4,
     .text = "Flash rom not erased. (Code 09-84-00)",
     .begun = true,
     .versionAfter = kPackageVersion},
};
// clang-format on

class SecondaryImageTest : public testing::TestWithParam<std::tuple<Transport, Case>> {};

TEST_P(SecondaryImageTest, SendsTheSequenceAndReturnsItsResult) {
    const auto& [transport, c] = GetParam();
    sim::DriveDescription description = DefaultDrive();
    description.hasSecondary = true;
    description.secondaryVersion = kVersion;
    description.hasCommitVersion = true;
    description.secondaryCommitVersion = kPackageVersion;
    c.drive(description);

    UpdateRig rig(transport, description);
    std::vector<uint8_t> image(c.size);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    rig.UseSecondaryImage(image);
    std::strcpy(Config.EpsFileName, "ZV314K.EPS");
    std::memcpy(Config.EpsVersion, kPackageVersion.data(), 7);
    c.config(Config);

    const ScsiResult result = UpdateSecondaryImage();
    std::string text;
    if (result != 0) DescribeFailure(result, text);

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(rig.Commands(), c.commands);
    EXPECT_EQ(WorkerState.load(), c.begun ? kWorkerSecondaryImage : kWorkerRunning);
    // The pause before the drive is told to begin.
    EXPECT_EQ(rig.Sleeps(), c.begun ? std::vector<uint32_t>{100} : std::vector<uint32_t>{});
    EXPECT_EQ(rig.Drive().SecondaryVersion(), c.versionAfter);
    if (result == 0 && c.begun) {
        // What the drive committed is the package's area.
        const std::vector<uint8_t> committed = rig.Drive().CommittedSecondaryImage();
        ASSERT_GE(committed.size(), image.size());
        EXPECT_TRUE(std::equal(image.begin() + kHead, image.end(), committed.begin() + kHead));
    }
}

INSTANTIATE_TEST_SUITE_P(BothTransports, SecondaryImageTest,
                         testing::Combine(testing::Values(Transport::PassThrough, Transport::Aspi),
                                          testing::ValuesIn(kCases)),
                         [](const testing::TestParamInfo<std::tuple<Transport, Case>>& param) {
                             return testing::PrintToString(std::get<0>(param.param)) + "_" +
                                    std::get<1>(param.param).name;
                         });

}  // namespace
}  // namespace update_test
