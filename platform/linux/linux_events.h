// Auto-reset events on Linux: each event is an eventfd descriptor.
#pragma once

#include <cstdint>

#include "platform/events.h"

namespace platform::linux_os {

EventFactory& LinuxEvents();

}  // namespace platform::linux_os

namespace platform {

// Signals the event behind a native handle from Event::NativeHandle(). Used by the ASPI
// manager, which only sees the handle stored in a request.
void SignalNativeEvent(intptr_t handle);

}  // namespace platform
