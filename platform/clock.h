// A monotonic millisecond clock: never the process CPU clock.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() = 0;
};

}  // namespace platform
