// Drive nodes kept open for a run of pass-through commands (a discovery walk, an update):
// one open and one alignment query per drive and run, a new open after a request that was
// not carried out, and nothing kept outside a run or for another thread.
#include <cstring>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/substitute/scripted_drive_bus.h"
#include "scsi/command_run.h"
#include "scsi/pass_through_transport.h"

namespace {

using platform::substitute::ScriptedDriveBus;

class CommandRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.SetDrive('D', {.alignmentMask = 3});
        bus_.SetDrive('E', {});
        scoped_.emplace(&platform::Services::Drives, &bus_);
    }
    void TearDown() override { EXPECT_EQ(bus_.OpenHandleCount(), 0) << "every node is closed"; }

    ScsiResult TestUnitReady(char letter) {
        DriveEntry entry{};
        entry.DriveLetter[0] = letter;
        const uint8_t cdb[12] = {};
        return PassThroughExecute(entry, nullptr, 0, cdb, 6, kDirNone);
    }
    ScsiResult WriteChunk(char letter) {
        DriveEntry entry{};
        entry.DriveLetter[0] = letter;
        uint8_t chunk[64];
        std::memset(chunk, 0xA5, sizeof chunk);
        const uint8_t cdb[12] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0, 64, 0};
        return PassThroughExecute(entry, chunk, sizeof chunk, cdb, 10, kDirOut);
    }

    ScriptedDriveBus bus_;
    std::optional<platform::ScopedService<platform::DriveBus>> scoped_;
};

TEST_F(CommandRunTest, ARunOpensEachDriveOnceAndClosesItAtItsEnd) {
    {
        const CommandRun run;
        EXPECT_EQ(TestUnitReady('D'), 0);
        EXPECT_EQ(WriteChunk('D'), 0);
        EXPECT_EQ(TestUnitReady('E'), 0);
        EXPECT_EQ(WriteChunk('D'), 0);
        EXPECT_EQ(bus_.OpenHandleCount(), 2) << "D and E stay open while the run lasts";
        EXPECT_TRUE(bus_.Closes().empty());
    }
    ASSERT_EQ(bus_.Opens().size(), 2u);
    EXPECT_EQ(bus_.AlignmentQueries().size(), 2u) << "the alignment is kept with the node";
    const platform::DriveHandle d = bus_.Opens()[0].handle;
    for (size_t i : {0u, 1u, 3u}) EXPECT_EQ(bus_.Requests()[i].handle, d) << i;
    // The kept alignment still decides the outgoing copy.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bus_.Requests()[3].sptd.DataBuffer) & 3, 0u);
    EXPECT_EQ(bus_.Closes().size(), 2u);
}

TEST_F(CommandRunTest, OutsideARunEveryCommandOpensAndClosesTheDrive) {
    EXPECT_EQ(TestUnitReady('D'), 0);
    EXPECT_EQ(bus_.OpenHandleCount(), 0);
    EXPECT_EQ(WriteChunk('D'), 0);
    EXPECT_EQ(bus_.Opens().size(), 2u);
    EXPECT_EQ(bus_.Closes().size(), 2u);
}

TEST_F(CommandRunTest, ARequestNotCarriedOutClosesTheNodeAndTheNextCommandOpensAgain) {
    const CommandRun run;
    EXPECT_EQ(TestUnitReady('D'), 0);
    bus_.QueueAnswer('D', ScriptedDriveBus::Answer().Fails(platform::kErrorNotReady));
    EXPECT_EQ(TestUnitReady('D'), -3);
    EXPECT_EQ(bus_.OpenHandleCount(), 0) << "a node that may be gone is not kept";
    EXPECT_EQ(TestUnitReady('D'), 0);
    EXPECT_EQ(bus_.Opens().size(), 2u);

    // The drive is gone for good: the next command says so, and keeps nothing.
    bus_.QueueAnswer('D', ScriptedDriveBus::Answer().Fails(platform::kErrorNotReady));
    EXPECT_EQ(TestUnitReady('D'), -3);
    bus_.SetDrive('D', {.openReadWriteFails = true, .openReadOnlyFails = true});
    EXPECT_EQ(TestUnitReady('D'), -1);
    EXPECT_EQ(bus_.OpenHandleCount(), 0);
}

TEST_F(CommandRunTest, AnAnswerOfTheDriveKeepsTheNode) {
    const CommandRun run;
    bus_.QueueAnswer('D', ScriptedDriveBus::Answer().Status(2).Sense({0x70, 0, 0x02}));
    EXPECT_EQ(TestUnitReady('D'), 4);
    EXPECT_EQ(TestUnitReady('D'), 0);
    EXPECT_EQ(bus_.Opens().size(), 1u);
    EXPECT_EQ(bus_.OpenHandleCount(), 1);
}

TEST_F(CommandRunTest, NestedRunsCloseWhenTheOutermostEnds) {
    {
        const CommandRun outer;
        {
            const CommandRun inner;
            EXPECT_EQ(TestUnitReady('D'), 0);
        }
        EXPECT_EQ(bus_.OpenHandleCount(), 1);
        EXPECT_EQ(TestUnitReady('D'), 0);
        EXPECT_EQ(bus_.Opens().size(), 1u);
    }
    EXPECT_EQ(bus_.OpenHandleCount(), 0);
}

TEST_F(CommandRunTest, ARunKeepsNodesForItsOwnThreadOnly) {
    const CommandRun run;
    EXPECT_EQ(TestUnitReady('D'), 0);
    std::thread other([this] { EXPECT_EQ(TestUnitReady('D'), 0); });
    other.join();
    EXPECT_EQ(bus_.Opens().size(), 2u);
    EXPECT_EQ(bus_.Closes().size(), 1u) << "the other thread's command closed its own node";
    EXPECT_EQ(bus_.OpenHandleCount(), 1);
}

}  // namespace
