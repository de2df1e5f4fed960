// A millisecond clock that moves only when the test (or FakeEventFactory's time-outs)
// moves it.
#pragma once

#include <atomic>

#include "platform/clock.h"

namespace platform::substitute {

class FakeClock final : public Clock {
public:
    explicit FakeClock(uint64_t startMs = 0) : now_(startMs) {}

    uint64_t NowMs() override;
    void Advance(uint64_t ms) { now_ += ms; }
    void Set(uint64_t ms) { now_ = ms; }
    // Every NowMs call first moves the clock by this much (0: never), for code that
    // polls the clock in a loop.
    void SetStepPerRead(uint64_t ms) { step_ = ms; }

private:
    std::atomic<uint64_t> now_;
    std::atomic<uint64_t> step_{0};
};

}  // namespace platform::substitute
