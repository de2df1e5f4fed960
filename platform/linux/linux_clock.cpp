#include <chrono>

#include "platform/linux/linux_clock.h"

namespace platform::linux_os {

namespace {

class SteadyClock final : public Clock {
public:
    uint64_t NowMs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

}  // namespace

Clock& LinuxClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace platform::linux_os
