// The monotonic millisecond clock of Linux.
#pragma once

#include "platform/clock.h"

namespace platform::linux_os {

Clock& LinuxClock();

}  // namespace platform::linux_os
