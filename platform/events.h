// Auto-reset events and the program's sleep, shared by the program and the ASPI manager.
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
    // eventfd descriptor: writing an 8-byte 1 to it signals the event.
    virtual intptr_t NativeHandle() const = 0;
};

class EventFactory {
public:
    virtual ~EventFactory() = default;
    // A new event, not signalled; null when the system cannot create one.
    virtual std::unique_ptr<Event> CreateAutoResetEvent() = 0;
};

// Signals the event behind a native handle from NativeHandle(). Used by the ASPI manager,
// which only sees the handle stored in a request.
void SignalNativeEvent(intptr_t handle);

}  // namespace platform

// Blocks the calling thread for the given time by waiting on a new event that nobody
// signals; returns at once when no event can be created.
void SleepMs(uint32_t milliseconds);
