#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/substitute/scripted_drive_bus.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/failure_text.h"
#include "scsi/pass_through_transport.h"
#include "sim/description.h"
#include "sim/sim_drive.h"
#include "sim/simulated_drive_bus.h"

namespace {

using platform::substitute::ScriptedDriveBus;
using Answer = ScriptedDriveBus::Answer;

// Fixed-format sense data with the given key byte, ASC and ASCQ, 18 bytes long.
std::vector<uint8_t> Sense(uint8_t keyByte, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = keyByte;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    sense[14] = 0xEE;  // beyond what the status record keeps
    sense[15] = 0xEE;
    return sense;
}

class PassThroughTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.SetDrive('D', {});
        scoped_.emplace(&platform::Services::Drives, &bus_);
        entry_ = DriveEntry{};
        entry_.DriveLetter[0] = 'D';
    }
    void TearDown() override {
        // Every path that opened the drive closes it again.
        EXPECT_EQ(bus_.OpenHandleCount(), 0);
    }

    ScsiResult Send(const std::vector<uint8_t>& cdbBytes, uint8_t cdbLength, uint8_t flags,
                    uint8_t* buffer = nullptr, uint32_t length = 0) {
        uint8_t cdb[12] = {};
        std::memcpy(cdb, cdbBytes.data(), cdbBytes.size());
        return PassThroughExecute(entry_, buffer, length, cdb, cdbLength, flags);
    }
    ScsiResult TestUnitReady() { return Send({0x00}, 6, kDirNone); }

    const ScriptedDriveBus::SentRequest& LastRequest() {
        EXPECT_FALSE(bus_.Requests().empty());
        return bus_.Requests().back();
    }

    ScriptedDriveBus bus_;
    std::optional<platform::ScopedService<platform::DriveBus>> scoped_;
    DriveEntry entry_{};
};

TEST_F(PassThroughTest, FillsTheRequestBlockAndOpensTheDriveByItsLetter) {
    entry_.DriveLetter[0] = 'F';
    bus_.SetDrive('F', {});
    ASSERT_EQ(Send({0x12, 0, 0, 0, 36, 0}, 6, kDirIn, std::vector<uint8_t>(36).data(), 36), 0);

    ASSERT_EQ(bus_.Opens().size(), 1u);
    EXPECT_EQ(bus_.Opens()[0].letter, 'F');
    EXPECT_TRUE(bus_.Opens()[0].readWrite);
    EXPECT_EQ(bus_.AlignmentQueries().size(), 1u);
    const auto& sent = LastRequest();
    EXPECT_EQ(sent.handle, bus_.Opens()[0].handle);
    EXPECT_EQ(sent.sptd.Length, 44);
    EXPECT_EQ(sent.sptd.ScsiStatus, 0);
    EXPECT_EQ(sent.sptd.PathId, 0);
    EXPECT_EQ(sent.sptd.TargetId, 1);
    EXPECT_EQ(sent.sptd.Lun, 0);
    EXPECT_EQ(sent.sptd.SenseInfoLength, 32);
    EXPECT_EQ(sent.sptd.SenseInfoOffset, 48u);
    EXPECT_EQ(sent.filler, 0u);
    for (uint8_t byte : sent.senseBufferOnEntry) EXPECT_EQ(byte, 0);
    EXPECT_EQ(CommandStatus->SRB_Cmd, 0);  // never written by this transport
}

TEST_F(PassThroughTest, PointsCommandStatusAtItsOwnRecordFirst) {
    CommandStatusRecord other{};
    CommandStatus = &other;
    bus_.SetDrive('D', {.openReadWriteFails = true, .openReadOnlyFails = true});
    EXPECT_EQ(TestUnitReady(), -1);
    EXPECT_NE(CommandStatus, &other);
    CommandStatusRecord* own = CommandStatus;

    bus_.SetDrive('D', {});
    CommandStatus = &other;
    EXPECT_EQ(TestUnitReady(), 0);
    EXPECT_EQ(CommandStatus, own);
}

struct CdbLengthCase {
    uint8_t atapi;
    std::vector<uint8_t> cdb;
    uint8_t cdbLength;
    uint8_t expectedLength;
};

class CdbLengthTest : public PassThroughTest,
                      public ::testing::WithParamInterface<CdbLengthCase> {};

TEST_P(CdbLengthTest, SendsTheLengthTheRuleGives) {
    const CdbLengthCase c = GetParam();
    entry_.Atapi = c.atapi;
    ASSERT_EQ(Send(c.cdb, c.cdbLength, kDirNone), 0);

    std::vector<uint8_t> expected(c.cdb);
    expected.resize(c.expectedLength, 0);
    const auto& sent = LastRequest();
    EXPECT_EQ(sent.sptd.CdbLength, c.expectedLength);
    EXPECT_EQ(sent.cdb, expected);
    for (size_t i = c.expectedLength; i < sizeof sent.sptd.Cdb; ++i) EXPECT_EQ(sent.sptd.Cdb[i], 0);
    EXPECT_EQ(CommandStatus->SRB_CDBLen, c.expectedLength);
    EXPECT_EQ(
        std::vector<uint8_t>(CommandStatus->CDBByte, CommandStatus->CDBByte + c.expectedLength),
        expected);
    for (size_t i = c.expectedLength; i < sizeof CommandStatus->CDBByte; ++i)
        EXPECT_EQ(CommandStatus->CDBByte[i], 0) << "CDBByte " << i;
}

INSTANTIATE_TEST_SUITE_P(Table, CdbLengthTest,
                         ::testing::Values(
                             // ATAPI: TEST UNIT READY goes out as 12 zero bytes.
                             CdbLengthCase{1, {0x00, 0, 0, 0, 0, 0}, 6, 12},
                             CdbLengthCase{1, {0x3B, 0x04, 0, 0, 0, 0, 0, 0x20, 0, 0}, 10, 12},
                             CdbLengthCase{1, {0xF5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 12, 12},
                             // Others: the builder's length, unchanged.
                             CdbLengthCase{0, {0x3B, 0x04, 0, 0, 0x10, 0, 0, 0x20, 0, 0}, 10, 10},
                             CdbLengthCase{0, {0x00, 0, 0, 0, 0, 0}, 6, 6},
                             CdbLengthCase{0, {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 12, 12}));

TEST_F(PassThroughTest, AShorterCommandLeavesNoBytesOfTheLongerOneBefore) {
    ASSERT_EQ(Send({0xF5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 12, kDirNone), 0);
    ASSERT_EQ(Send({0x00}, 6, kDirNone), 0);
    for (uint8_t byte : CommandStatus->CDBByte) EXPECT_EQ(byte, 0);
    EXPECT_EQ(CommandStatus->SRB_CDBLen, 6);
}

struct DirectionCase {
    uint8_t flags;
    uint8_t opcode;
    uint8_t byte1;
    uint8_t dataIn;
    uint32_t timeout;
};

class DirectionTest : public PassThroughTest,
                      public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(DirectionTest, ChoosesDirectionAndTimeOut) {
    const DirectionCase c = GetParam();
    std::vector<uint8_t> data(16, 0x5A);
    ASSERT_EQ(Send({c.opcode, c.byte1, 0, 0, 0, 0, 0, 0, 16, 0}, 10, c.flags, data.data(), 16), 0);
    EXPECT_EQ(LastRequest().sptd.DataIn, c.dataIn);
    EXPECT_EQ(LastRequest().sptd.TimeOutValue, c.timeout);
    EXPECT_EQ(LastRequest().sptd.DataTransferLength, 16u);
}

INSTANTIATE_TEST_SUITE_P(Table, DirectionTest,
                         ::testing::Values(
                             // WRITE BUFFER download-and-save is the one long command.
                             DirectionCase{kDirOut, 0x3B, 0x05, platform::kDataOut, 600},
                             DirectionCase{kDirOut, 0x3B, 0x04, platform::kDataOut, 10},
                             DirectionCase{kDirOut, 0x3B, 0x25, platform::kDataOut, 10},
                             DirectionCase{kDirOut, 0x3B, 0x85, platform::kDataOut, 10},
                             DirectionCase{kDirIn, 0x3C, 0x05, platform::kDataIn, 10},
                             DirectionCase{kDirIn, 0x12, 0x00, platform::kDataIn, 10},
                             DirectionCase{kDirNone, 0x3B, 0x05, platform::kDataUnspecified, 600},
                             DirectionCase{kDirNone, 0x00, 0x00, platform::kDataUnspecified, 10},
                             // Only bits 0x08 and 0x10 count; both at once is no direction.
                             DirectionCase{kDirIn | kDirNone, 0x12, 0x00, platform::kDataIn, 10},
                             DirectionCase{kDirOut | kDirNone, 0x3B, 0x04, platform::kDataOut, 10},
                             DirectionCase{kDirIn | kDirOut, 0x12, 0x00, platform::kDataUnspecified,
                                           10}));

TEST_F(PassThroughTest, SendsOutgoingDataFromAnAlignedCopy) {
    for (uint32_t mask : {0u, 3u, 511u, 4095u}) {
        SCOPED_TRACE(mask);
        bus_.SetDrive('D', {.alignmentMask = mask});
        std::vector<uint8_t> data(1001);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
        const std::vector<uint8_t> original = data;

        ASSERT_EQ(Send({0x3B, 0x04, 0, 0, 0, 0, 0, 0x03, 0xE9, 0}, 10, kDirOut, data.data(),
                       static_cast<uint32_t>(data.size())),
                  0);
        const auto& sent = LastRequest();
        EXPECT_NE(sent.sptd.DataBuffer, data.data());
        EXPECT_EQ(reinterpret_cast<uintptr_t>(sent.sptd.DataBuffer) & mask, 0u);
        EXPECT_EQ(sent.dataOut, original);
        EXPECT_EQ(data, original);
    }
}

TEST_F(PassThroughTest, AFailingCapabilityQueryStillSendsTheData) {
    bus_.SetDrive('D', {.alignmentQueryFails = true, .alignmentMask = 4095});
    std::vector<uint8_t> data = {1, 2, 3, 4, 5};
    ASSERT_EQ(Send({0x3B, 0x04, 0, 0, 0, 0, 0, 0, 5, 0}, 10, kDirOut, data.data(), 5), 0);
    EXPECT_EQ(bus_.AlignmentQueries().size(), 1u);
    EXPECT_EQ(LastRequest().dataOut, data);
    EXPECT_NE(LastRequest().sptd.DataBuffer, data.data());
}

TEST_F(PassThroughTest, AnEmptyDataOutTransferIsSent) {
    bus_.SetDrive('D', {.alignmentMask = 4095});
    ASSERT_EQ(Send({0x3B, 0x04}, 10, kDirOut, nullptr, 0), 0);
    EXPECT_NE(LastRequest().sptd.DataBuffer, nullptr);
    EXPECT_EQ(LastRequest().sptd.DataTransferLength, 0u);
    EXPECT_TRUE(LastRequest().dataOut.empty());
}

TEST_F(PassThroughTest, DataInLandsInTheCallersBufferWhateverTheAlignment) {
    bus_.SetDrive('D', {.alignmentMask = 4095});
    std::vector<uint8_t> inquiry(36);
    for (size_t i = 0; i < inquiry.size(); ++i) inquiry[i] = static_cast<uint8_t>(0x40 + i);
    bus_.QueueAnswer(Answer().Data(inquiry));

    std::vector<uint8_t> storage(40, 0);
    uint8_t* unaligned = storage.data() + 1;
    ASSERT_EQ(Send({0x12, 0, 0, 0, 36, 0}, 6, kDirIn, unaligned, 36), 0);
    EXPECT_EQ(LastRequest().sptd.DataBuffer, unaligned);
    EXPECT_EQ(std::vector<uint8_t>(unaligned, unaligned + 36), inquiry);
    EXPECT_EQ(storage[0], 0);
    EXPECT_EQ(storage[37], 0);
}

TEST_F(PassThroughTest, ACommandWithoutDataSendsTheNullBuffer) {
    ASSERT_EQ(TestUnitReady(), 0);
    EXPECT_EQ(LastRequest().sptd.DataIn, platform::kDataUnspecified);
    EXPECT_EQ(LastRequest().sptd.DataTransferLength, 0u);
    EXPECT_EQ(LastRequest().sptd.DataBuffer, nullptr);
}

TEST_F(PassThroughTest, FallsBackToReadOnlyAccess) {
    bus_.SetDrive('D', {.openReadWriteFails = true});
    ASSERT_EQ(TestUnitReady(), 0);
    ASSERT_EQ(bus_.Opens().size(), 2u);
    EXPECT_TRUE(bus_.Opens()[0].readWrite);
    EXPECT_FALSE(bus_.Opens()[1].readWrite);
    EXPECT_EQ(LastRequest().handle, bus_.Opens()[1].handle);
    EXPECT_EQ(bus_.Closes(), std::vector<platform::DriveHandle>{bus_.Opens()[1].handle});
}

TEST_F(PassThroughTest, ADriveThatDoesNotOpenGivesMinusOneAndKeepsThePreviousOutcome) {
    bus_.QueueAnswer(Answer().Status(2).Sense(Sense(0x02, 0x3A, 0x01)));
    ASSERT_EQ(TestUnitReady(), 4);
    const CommandStatusRecord before = *CommandStatus;

    bus_.SetDrive('D', {.openReadWriteFails = true, .openReadOnlyFails = true});
    bus_.ClearRecords();
    std::vector<uint8_t> data(8, 0x11);
    EXPECT_EQ(Send({0x3B, 0x05}, 10, kDirOut, data.data(), 8), -1);
    EXPECT_EQ(bus_.Opens().size(), 2u);
    EXPECT_TRUE(bus_.AlignmentQueries().empty());
    EXPECT_TRUE(bus_.Requests().empty());
    EXPECT_TRUE(bus_.Closes().empty());
    EXPECT_EQ(std::memcmp(&before, CommandStatus, sizeof before), 0);
}

TEST_F(PassThroughTest, ALetterWithoutDriveDoesNotOpen) {
    entry_.DriveLetter[0] = 'Q';
    EXPECT_EQ(TestUnitReady(), -1);
}

struct OutcomeCase {
    const char* name;
    ScriptedDriveBus::Answer answer;
    ScsiResult result;
    uint8_t status;    // SRB_Status afterwards
    uint8_t haStat;    // SRB_HaStat afterwards
    uint8_t targStat;  // SRB_TargStat afterwards
};

std::ostream& operator<<(std::ostream& out, const OutcomeCase& c) { return out << c.name; }

class OutcomeTest : public PassThroughTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, DecidesTheResultAndFillsTheStatusRecord) {
    const OutcomeCase& c = GetParam();
    // Start from a known record: a failure whose code bytes differ from every row's.
    bus_.QueueAnswer(Answer().Fails(0xABCDEF));
    ASSERT_EQ(TestUnitReady(), -3);

    bus_.QueueAnswer(c.answer);
    EXPECT_EQ(Send({0x3B, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}, 10, kDirNone), c.result);
    EXPECT_EQ(CommandStatus->SRB_Status, c.status);
    EXPECT_EQ(CommandStatus->SRB_HaStat, c.haStat);
    EXPECT_EQ(CommandStatus->SRB_TargStat, c.targStat);

    std::vector<uint8_t> sense = c.answer.sense;
    sense.resize(16, 0);
    for (size_t i = 0; i < 14; ++i) EXPECT_EQ(CommandStatus->SenseArea[i], sense[i]) << i;
    // Only 14 sense bytes are kept; the last two of the area are never written.
    EXPECT_EQ(CommandStatus->SenseArea[14], 0);
    EXPECT_EQ(CommandStatus->SenseArea[15], 0);
    // Fields this transport never writes stay zero.
    EXPECT_EQ(CommandStatus->SRB_Cmd, 0);
    EXPECT_EQ(CommandStatus->SRB_Flags, 0);
    EXPECT_EQ(CommandStatus->SRB_BufLen, 0u);
    EXPECT_EQ(CommandStatus->SRB_BufPointer, nullptr);
    EXPECT_EQ(CommandStatus->SRB_SenseLen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutcomeTest,
    ::testing::Values(
        // Success: the SCSI status is written, the last error code's bytes stay.
        OutcomeCase{"Good", Answer(), 0, 0xEF, 0xCD, 0x00},
        OutcomeCase{"CheckConditionWithSense", Answer().Status(2).Sense(Sense(0x09, 0x86, 0x00)), 4,
                    0xEF, 0xCD, 0x02},
        OutcomeCase{"SenseKeyByteWithFlagBits", Answer().Status(2).Sense(Sense(0x24, 0x00, 0x00)),
                    4, 0xEF, 0xCD, 0x02},
        // Without sense data only CONDITION MET is a success; any other status is the
        // target's error, kept in SRB_TargStat.
        OutcomeCase{"CheckConditionWithoutSense", Answer().Status(2), 4, 0xEF, 0xCD, 0x02},
        OutcomeCase{"BusyWithoutSense", Answer().Status(8), 4, 0xEF, 0xCD, 0x08},
        OutcomeCase{"ReservationConflictWithoutSense", Answer().Status(0x18), 4, 0xEF, 0xCD, 0x18},
        OutcomeCase{"ConditionMetWithoutSense", Answer().Status(4), 0, 0xEF, 0xCD, 0x04},
        OutcomeCase{"ConditionMetWithSense", Answer().Status(4).Sense(Sense(0x06, 0x29, 0x00)), 4,
                    0xEF, 0xCD, 0x04},
        // Good status with stale-looking sense bytes: still success.
        OutcomeCase{"GoodStatusWithSense", Answer().Sense(Sense(0x06, 0x29, 0x00)), 0, 0xEF, 0xCD,
                    0},
        // A failed request: sense data wins over the system error code.
        OutcomeCase{"FailedWithSense", Answer().Fails(121).Sense(Sense(0x02, 0x04, 0x01)), 4, 0xEF,
                    0xCD, 0x00},
        OutcomeCase{"FailedWithSenseAndStatus",
                    Answer().Fails(1117).Status(2).Sense(Sense(0x09, 0x88, 0x00)), 4, 0xEF, 0xCD,
                    0x02},
        // Without sense data the low three bytes of the code replace the status bytes.
        OutcomeCase{"FailedIoError", Answer().Fails(1117), -3, 0x5D, 0x04, 0x00},
        OutcomeCase{"FailedTimeOut", Answer().Fails(121).Status(2), -3, 0x79, 0x00, 0x00},
        OutcomeCase{"FailedWideCode", Answer().Fails(0x7F123456), -3, 0x56, 0x34, 0x12}));

// Runs in a child process whose address space is capped, so that the outgoing copy cannot
// be allocated while everything else works. Exits 0 when the transport behaved.
[[noreturn]] void RunWithoutMemoryForTheCopy(ScriptedDriveBus& bus, const DriveEntry& entry) {
    constexpr size_t kLength = size_t{1} << 30;
    // The caller's data: reserved before the cap, so it exists for the whole call.
    void* mapped = mmap(nullptr, kLength, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) _exit(10);
    auto* data = static_cast<uint8_t*>(mapped);
    std::memset(data, 0x3C, 4096);

    // Cap the address space a quarter of the transfer above what is in use now.
    std::ifstream statusFile("/proc/self/statm");
    size_t pages = 0;
    statusFile >> pages;
    const rlim_t inUse = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit cap{inUse + kLength / 4, inUse + kLength / 4};
    if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(11);

    const CommandStatusRecord before = *CommandStatus;
    uint8_t cdb[12] = {0x3B, 0x05};
    const ScsiResult result =
        PassThroughExecute(entry, data, static_cast<uint32_t>(kLength), cdb, 10, kDirOut);
    if (result != -2) _exit(20 + (result + 10));
    if (!bus.Requests().empty()) _exit(40);
    if (bus.OpenHandleCount() != 0) _exit(41);
    if (std::memcmp(&before, CommandStatus, sizeof before) != 0) _exit(42);
    for (size_t i = 0; i < 4096; ++i)
        if (data[i] != 0x3C) _exit(43);
    _exit(0);
}

TEST_F(PassThroughTest, NoMemoryForTheOutgoingCopyGivesMinusTwoAndSendsNothing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve the address space this test caps";
#endif
    bus_.SetDrive('D', {.alignmentMask = 4095});
    bus_.QueueAnswer(Answer().Status(2).Sense(Sense(0x02, 0x3A, 0x02)));
    ASSERT_EQ(TestUnitReady(), 4);
    bus_.ClearRecords();
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(RunWithoutMemoryForTheCopy(bus_, entry_), ::testing::ExitedWithCode(0), "");
}

// The transport on the Linux bus with simulated drives: from the command block to a
// drive model and back into the status record and the failure text.
class PassThroughOnSimulatedDrives : public ::testing::Test {
protected:
    void Attach(sim::Medium medium, std::vector<sim::Fault> faults = {}) {
        sim::DriveDescription description;
        description.medium = medium;
        description.faults = std::move(faults);
        drive_ = std::make_shared<sim::Drive>(description);
        bus_ = std::make_unique<sim::SimulatedDriveBus>(
            std::vector<std::shared_ptr<sim::Drive>>{drive_});
        scoped_.emplace(&platform::Services::Drives, bus_.get());
        entry_.DriveLetter[0] = 'D';
        entry_.Atapi = 1;
    }
    ScsiResult TestUnitReady() {
        const uint8_t cdb[12] = {0x00};
        return PassThroughExecute(entry_, nullptr, 0, cdb, 6, kDirNone);
    }
    std::string Text(ScsiResult result) {
        std::string text;
        DescribeFailure(result, text);
        return text;
    }

    std::shared_ptr<sim::Drive> drive_;
    std::unique_ptr<sim::SimulatedDriveBus> bus_;
    std::optional<platform::ScopedService<platform::DriveBus>> scoped_;
    DriveEntry entry_{};
};

sim::Fault OnCommand(uint32_t ordinal, sim::FaultEffect effect) {
    sim::Fault fault;
    fault.ordinal = ordinal;
    fault.effect = effect;
    return fault;
}

TEST_F(PassThroughOnSimulatedDrives, DataAndSenseComeBackThroughTheTransport) {
    Attach(sim::Medium::Empty);
    EXPECT_EQ(TestUnitReady(), 4);
    EXPECT_EQ(CommandStatus->SRB_TargStat, 2);
    EXPECT_EQ(CommandStatus->SenseArea[kSenseKeyByte], 0x02);
    EXPECT_EQ(CommandStatus->SenseArea[kSenseAsc], 0x3A);
    EXPECT_EQ(CommandStatus->SenseArea[kSenseAscq], 0x01);
    EXPECT_EQ(Text(4), "Target_Status: Check Condition");

    uint8_t inquiry[36] = {};
    const uint8_t cdb[12] = {0x12, 0, 0, 0, 36, 0};
    ASSERT_EQ(PassThroughExecute(entry_, inquiry, 36, cdb, 6, kDirIn), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 32), 4), "1.00");
    // ATAPI: every block reached the drive 12 bytes long.
    for (const sim::LoggedCommand& command : drive_->Log()) EXPECT_EQ(command.cdb.size(), 12u);
}

TEST_F(PassThroughOnSimulatedDrives, ATimeOutIsSystemError121) {
    Attach(sim::Medium::Loaded, {OnCommand(1, sim::FaultEffect::TimeOut)});
    EXPECT_EQ(TestUnitReady(), -3);
    EXPECT_EQ(Text(-3), "System error (Win32): Code 121\n");
    EXPECT_EQ(TestUnitReady(), 0);
}

TEST_F(PassThroughOnSimulatedDrives, ABusyDriveIsAFailureWithItsText) {
    Attach(sim::Medium::Loaded, {OnCommand(1, sim::FaultEffect::Busy)});
    EXPECT_EQ(TestUnitReady(), 4);
    EXPECT_EQ(CommandStatus->SRB_TargStat, 0x08);
    EXPECT_EQ(Text(4), "Target_Status: BUSY");
    EXPECT_EQ(TestUnitReady(), 0);
}

TEST_F(PassThroughOnSimulatedDrives, AVanishedDriveFailsOnceThenDoesNotOpen) {
    Attach(sim::Medium::Loaded, {OnCommand(1, sim::FaultEffect::Vanish)});
    EXPECT_EQ(TestUnitReady(), -3);
    EXPECT_EQ(Text(-3), "System error (Win32): Code 21\n");
    EXPECT_EQ(TestUnitReady(), -1);
    // The record still tells the reason of the last command that reached the drive.
    EXPECT_EQ(Text(-3), "System error (Win32): Code 21\n");
}

}  // namespace
