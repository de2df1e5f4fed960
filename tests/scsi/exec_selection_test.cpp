#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/substitute/fake_events.h"
#include "platform/substitute/scripted_drive_bus.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"

namespace {

using platform::substitute::FakeEventFactory;
using platform::substitute::ScriptedDriveBus;
using Answer = ScriptedDriveBus::Answer;

// The pass-through side is reached through the scripted bus, the ASPI side is stopped at
// its first system call (no event can be created), so each transport's trace shows
// whether it ran.
class ExecSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedFlag_ = UsePassThrough;
        bus_.SetDrive('D', {});
        events_.FailCreation(true);
        platform::Services services = platform::Platform();
        services.Drives = &bus_;
        services.Events = &events_;
        scoped_ = std::make_unique<platform::ScopedServices>(services);
        entry_.DriveLetter[0] = 'D';
    }
    void TearDown() override { UsePassThrough = savedFlag_; }

    ScsiResult Exec() {
        const uint8_t cdb[12] = {0x00};
        return ExecScsiCommand(entry_, nullptr, 0, cdb, 6, kDirNone);
    }

    uint8_t savedFlag_ = 0;
    ScriptedDriveBus bus_;
    FakeEventFactory events_;
    std::unique_ptr<platform::ScopedServices> scoped_;
    DriveEntry entry_{};
};

TEST_F(ExecSelectionTest, NonZeroFlagSendsThroughPassThroughAndReturnsItsResult) {
    struct Case {
        uint8_t flag;
        Answer answer;
        bool opens;
        ScsiResult expected;
    };
    const std::vector<uint8_t> sense = {0x70, 0, 0x09, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x86, 0};
    // clang-format off
    const Case cases[] = {
        {1, Answer(), true, 0},
        {1, Answer().Status(2).Sense(sense), true, 4},
        {0x80, Answer().Fails(1117), true, -3},
        {0xFF, Answer(), false, -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        UsePassThrough = c.flag;
        bus_.SetDrive('D', {.openReadWriteFails = !c.opens, .openReadOnlyFails = !c.opens});
        bus_.ClearRecords();
        bus_.QueueAnswer(c.answer);
        EXPECT_EQ(Exec(), c.expected);
        EXPECT_EQ(bus_.Opens().size(), c.opens ? 1u : 2u);
        EXPECT_EQ(bus_.Requests().size(), c.opens ? 1u : 0u);
    }
    // ASPI was never touched: it would have asked for its completion event first.
    EXPECT_EQ(events_.CreatedCount() + events_.FailedCreationCount(), 0);
}

TEST_F(ExecSelectionTest, ZeroFlagSendsThroughAspi) {
    UsePassThrough = 1;
    ASSERT_EQ(Exec(), 0);
    CommandStatusRecord* passThroughRecord = CommandStatus;

    UsePassThrough = 0;
    bus_.ClearRecords();
    EXPECT_EQ(Exec(), -1);  // the ASPI transport's answer, unchanged
    EXPECT_EQ(events_.FailedCreationCount(), 1);
    EXPECT_TRUE(bus_.Opens().empty());
    EXPECT_TRUE(bus_.Requests().empty());
    EXPECT_NE(CommandStatus, passThroughRecord);
}

}  // namespace
