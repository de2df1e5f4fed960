#include "platform/substitute/fake_clock.h"

namespace platform::substitute {

uint64_t FakeClock::NowMs() { return now_ += step_; }

}  // namespace platform::substitute
