// Events for tests that never block: a wait returns at once, "signalled" when the event was
// signalled beforehand (through Signal or its native handle), else "timed out". Every wait
// is recorded with its time-out, so a test can see that SleepMs(8000) happened without
// waiting 8 seconds.
//
//   platform::substitute::FakeEventFactory events;
//   services.Events = &events;
//   ... SleepMs(8000) ...
//   EXPECT_EQ(events.WaitTimeouts(), std::vector<uint32_t>{8000});
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/events.h"

namespace platform::substitute {

class FakeClock;

class FakeEventFactory final : public EventFactory {
public:
    struct WaitRecord {
        uint32_t timeoutMs;
        bool signalled;
    };

    FakeEventFactory();

    std::unique_ptr<Event> CreateAutoResetEvent() override;

    // From now on CreateAutoResetEvent returns null (as when the system has no events left).
    void FailCreation(bool fail);
    // A wait that times out moves `clock` on by its time-out, so time seen through the
    // clock agrees with the waits. Null: the clock is left alone.
    void AdvanceClockOnTimeout(FakeClock* clock);

    // Every wait on an event of this factory, in order.
    std::vector<WaitRecord> Waits() const;
    std::vector<uint32_t> WaitTimeouts() const;
    int CreatedCount() const;
    int FailedCreationCount() const;
    // Events created and not yet destroyed.
    int LiveCount() const;

    struct Shared {
        mutable std::mutex mutex;
        std::vector<WaitRecord> waits;
        int created = 0;
        int failed = 0;
        int live = 0;
        bool failCreation = false;
        FakeClock* clock = nullptr;
    };

private:
    // Shared with the events so that an event may outlive its factory.
    std::shared_ptr<Shared> shared_;
};

}  // namespace platform::substitute
