// What the worker shares with the rest of the program: the progress and the failure text a
// monitor on another thread reads while the worker runs, and the power hold kept while the
// firmware is written.
#include <algorithm>
#include <cstdlib>
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

constexpr uint32_t B = 8192;

void UseFourChunkImage(UpdateRig& rig) {
    rig.UseImage(MakeImage(4 * B, "2.00"));
    Config.BufferSize = B;
    Config.WaitSeconds = 15;
}

// True when `part` occurs in `whole` in the same order (gaps allowed).
bool InOrderWithin(const std::vector<Progress>& part, const std::vector<Progress>& whole) {
    auto next = whole.begin();
    for (const Progress& p : part) {
        next = std::find(next, whole.end(), p);
        if (next == whole.end()) return false;
    }
    return true;
}

struct HandOverCase {
    const char* name;
    sim::Fault fault;
    std::vector<Progress> sequence;  // every pair the worker publishes, in order
    std::string text;
};

std::ostream& operator<<(std::ostream& out, const HandOverCase& c) { return out << c.name; }

// clang-format off
const HandOverCase kHandOvers[] = {
    {"FailureDuringTheTransfer",
     {.trigger = sim::FaultTrigger::Chunk, .ordinal = 2, .sense = {0x09, 0x88, 0x00}},
     {{1, 1}, {1, 2}, {1, 3}, {1, 0}},
     "Firmware Transfer data error. (Code 09-88-00)"},
    {"FailureOfTheFinalChunk",
     {.trigger = sim::FaultTrigger::Final, .ordinal = 1, .sense = {0x09, 0x86, 0x00}},
     {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {0, 4}},
     "Flash rom check sum error. (Code 09-86-00)"},
};
// clang-format on

class HandOverTest : public testing::TestWithParam<std::tuple<Transport, HandOverCase>> {};

// A monitor on the GUI thread polls while the worker runs; once it has seen the failure,
// the text is complete. (Built with the thread sanitizer, this also checks the ordering.)
TEST_P(HandOverTest, AMonitorThatSeesTheFailureReadsTheWholeText) {
    const auto& [transport, c] = GetParam();
    sim::DriveDescription drive = DefaultDrive();
    drive.faults.push_back(c.fault);
    UpdateRig rig(transport, drive);
    UseFourChunkImage(rig);
    LastErrorText = "text of an earlier update";

    std::vector<Progress> polled;
    std::string shown;
    ASSERT_TRUE(StartUpdateWorker());
    for (;;) {
        const uint32_t counter = ChunkCounter.load(std::memory_order_acquire);
        const uint8_t state = WorkerState.load(std::memory_order_acquire);
        const Progress now{state, counter};
        if (polled.empty() || !(polled.back() == now)) polled.push_back(now);
        if (counter == 0 || state == 0) {
            shown = LastErrorText;
            break;
        }
        std::this_thread::yield();
    }
    JoinUpdateWorker();

    EXPECT_EQ(shown, c.text);
    EXPECT_TRUE(InOrderWithin(polled, c.sequence)) << testing::PrintToString(polled);
}

INSTANTIATE_TEST_SUITE_P(
    BothTransports, HandOverTest,
    testing::Combine(testing::Values(Transport::PassThrough, Transport::Aspi),
                     testing::ValuesIn(kHandOvers)),
    [](const testing::TestParamInfo<std::tuple<Transport, HandOverCase>>& param) {
        return testing::PrintToString(std::get<0>(param.param)) + "_" +
               std::get<1>(param.param).name;
    });

// A program that ends while (or after) a worker ran, without JoinUpdateWorker, waits for
// the worker instead of being torn down by a joinable thread object.
TEST(WorkerThread, AProgramEndingWithoutTheJoinWaitsForTheWorker) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            UpdateRig rig(Transport::PassThrough, DefaultDrive());
            UseFourChunkImage(rig);
            if (!StartUpdateWorker()) std::_Exit(3);
            std::exit(0);  // the worker may still be sending
        },
        testing::ExitedWithCode(0), "");
}

TEST(PowerHold, KeptFromBeforeTheFirstCommandUntilTheWorkerEnds) {
    UpdateRig rig(Transport::PassThrough, DefaultDrive());
    UseFourChunkImage(rig);

    testing::internal::CaptureStderr();
    ASSERT_TRUE(StartUpdateWorker());
    JoinUpdateWorker();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(WorkerState.load(), kWorkerDone);
    EXPECT_EQ(rig.power.reasons, std::vector<std::string>{"Writing firmware to the drive"});
    ASSERT_FALSE(rig.HoldsAtCommands().empty());
    EXPECT_TRUE(std::all_of(rig.HoldsAtCommands().begin(), rig.HoldsAtCommands().end(),
                            [](int held) { return held == 1; }));
    EXPECT_EQ(rig.power.held, 0);
}

TEST(PowerHold, ReleasedAfterAFailureToo) {
    sim::DriveDescription drive = DefaultDrive();
    drive.faults.push_back(
        {.trigger = sim::FaultTrigger::Chunk, .ordinal = 1, .sense = {0x09, 0x88, 0x00}});
    UpdateRig rig(Transport::PassThrough, drive);
    UseFourChunkImage(rig);

    CZVFUpdate().Run();

    EXPECT_EQ(ChunkCounter.load(), 0u);
    EXPECT_EQ(rig.power.reasons.size(), 1u);
    EXPECT_EQ(rig.power.held, 0);
}

// Without a hold the update still runs; the user is told on standard error once.
TEST(PowerHold, WithoutAHoldTheUpdateGoesOnAndSaysSo) {
    for (const bool serviceMissing : {true, false}) {
        SCOPED_TRACE(serviceMissing ? "no power service" : "hold refused");
        UpdateRig rig(Transport::PassThrough, DefaultDrive());
        UseFourChunkImage(rig);
        rig.power.refuseHold = true;
        platform::Services services = platform::Platform();
        if (serviceMissing) services.PowerManagement = nullptr;
        platform::ScopedServices scoped(services);

        testing::internal::CaptureStderr();
        CZVFUpdate().Run();
        const std::string said = testing::internal::GetCapturedStderr();

        EXPECT_EQ(said,
                  "zvfirm: nothing holds sleep and shutdown back while the firmware is "
                  "written\n");
        EXPECT_EQ(WorkerState.load(), kWorkerDone);
        EXPECT_EQ(rig.Drive().FlashCount(), 1u);
        EXPECT_EQ(rig.power.reasons.size(), serviceMissing ? 0u : 1u);
    }
}

}  // namespace
}  // namespace update_test
