// Auto-reset events on Linux, the program's sleep, and the event substitute tests rely on.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/linux/linux_platform.h"
#include "platform/platform.h"
#include "platform/sleep.h"
#include "platform/substitute/fake_clock.h"
#include "platform/substitute/fake_events.h"

namespace {

std::unique_ptr<platform::Event> NewLinuxEvent() {
    auto event = platform::linux_os::LinuxEvents().CreateAutoResetEvent();
    EXPECT_NE(event, nullptr);
    return event;
}

TEST(LinuxEvent, ASignalReleasesOneWaitAndResetsItself) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(event->Wait(0)) << "a new event is not signalled";
    event->Signal();
    event->Signal();  // two signals before a wait are one
    EXPECT_TRUE(event->Wait(0));
    EXPECT_FALSE(event->Wait(0));
}

TEST(LinuxEvent, ResetDropsAPendingSignal) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    event->Signal();
    event->Reset();
    EXPECT_FALSE(event->Wait(0));
}

TEST(LinuxEvent, NativeHandleSignalsTheEvent) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    platform::SignalNativeEvent(event->NativeHandle());
    EXPECT_TRUE(event->Wait(0));
}

TEST(LinuxEvent, TimeOutWaitsAtLeastItsTime) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event->Wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(LinuxEvent, SignalFromAnotherThreadEndsAnInfiniteWait) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    std::thread signaller([&] { event->Signal(); });
    EXPECT_TRUE(event->Wait(platform::kWaitInfinite));
    signaller.join();
}

TEST(LinuxEvent, OneSignalReleasesOnlyOneOfTwoWaiters) {
    auto event = NewLinuxEvent();
    ASSERT_NE(event, nullptr);
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (event->Wait(300)) ++released;
    };
    std::thread first(waiter);
    std::thread second(waiter);
    event->Signal();
    first.join();
    second.join();
    EXPECT_EQ(released, 1);
}

TEST(SleepMs, WaitsOnAFreshEventAndClosesIt) {
    platform::substitute::FakeEventFactory events;
    const platform::ScopedService scoped(&platform::Services::Events, &events);

    SleepMs(8000);
    SleepMs(0);
    EXPECT_EQ(events.WaitTimeouts(), (std::vector<uint32_t>{8000, 0}));
    EXPECT_EQ(events.CreatedCount(), 2);
    EXPECT_EQ(events.LiveCount(), 0);
}

TEST(SleepMs, ReturnsAtOnceWhenNoEventCanBeCreated) {
    platform::substitute::FakeEventFactory events;
    events.FailCreation(true);
    const platform::ScopedService scoped(&platform::Services::Events, &events);

    SleepMs(8000);
    EXPECT_TRUE(events.WaitTimeouts().empty());
    EXPECT_EQ(events.FailedCreationCount(), 1);
}

TEST(SleepMs, RealSleepBlocksForItsTime) {
    const auto start = std::chrono::steady_clock::now();
    SleepMs(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(FakeEvents, NeverBlockAndSeeSignalsFromEitherSide) {
    platform::substitute::FakeEventFactory events;
    platform::substitute::FakeClock clock(100);
    events.AdvanceClockOnTimeout(&clock);
    auto event = events.CreateAutoResetEvent();
    ASSERT_NE(event, nullptr);

    EXPECT_FALSE(event->Wait(platform::kWaitInfinite)) << "an unsignalled wait never blocks";
    EXPECT_FALSE(event->Wait(250));
    EXPECT_EQ(clock.NowMs(), 350u) << "a time-out moves the clock on";
    event->Signal();
    EXPECT_TRUE(event->Wait(1000));
    platform::SignalNativeEvent(event->NativeHandle());
    EXPECT_TRUE(event->Wait(1000));
    EXPECT_FALSE(event->Wait(0));
    EXPECT_EQ(clock.NowMs(), 350u);

    const auto waits = events.Waits();
    ASSERT_EQ(waits.size(), 5u);
    EXPECT_TRUE(waits[2].signalled);
    EXPECT_FALSE(waits[4].signalled);
}

}  // namespace
