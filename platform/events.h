// Auto-reset events, shared by the program and the ASPI manager.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;

// An unnamed event that resets itself when a wait returns because it was signalled.
class Event {
public:
    virtual ~Event() = default;
    virtual void Signal() = 0;
    // True when the event was signalled within timeoutMs, false on time-out.
    virtual bool Wait(uint32_t timeoutMs) = 0;
    virtual void Reset() = 0;
    // A value another component can signal the event through. On Linux this is an
    // eventfd descriptor: writing an 8-byte 1 to it signals the event (SignalNativeEvent,
    // platform/linux/linux_events.h).
    virtual intptr_t NativeHandle() const = 0;
};

class EventFactory {
public:
    virtual ~EventFactory() = default;
    // A new event, not signalled; null when the system cannot create one.
    virtual std::unique_ptr<Event> CreateAutoResetEvent() = 0;
};

}  // namespace platform
