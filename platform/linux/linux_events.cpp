#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "platform/linux/linux_events.h"

namespace platform {

void SignalNativeEvent(intptr_t handle) {
    const uint64_t one = 1;
    ssize_t written;
    do {
        written = write(static_cast<int>(handle), &one, sizeof one);
    } while (written < 0 && errno == EINTR);
}

namespace linux_os {

namespace {

// An eventfd without EFD_SEMAPHORE: one read takes the whole count, which is exactly the
// auto-reset of a signalled event.
class EventFdEvent final : public Event {
public:
    explicit EventFdEvent(int fd) : fd_(fd) {}
    ~EventFdEvent() override { close(fd_); }

    void Signal() override { SignalNativeEvent(fd_); }

    bool Wait(uint32_t timeoutMs) override {
        using Steady = std::chrono::steady_clock;
        const bool infinite = timeoutMs == kWaitInfinite;
        const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
        pollfd waiting{fd_, POLLIN, 0};
        for (;;) {
            int pollTimeout = -1;
            if (!infinite) {
                // Recomputed on every round so that interruptions do not stretch the wait.
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
                pollTimeout = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
            }
            const int ready = poll(&waiting, 1, pollTimeout);
            if (ready < 0 && errno != EINTR) return false;
            // Another waiter may take the signal between poll and read: only the waiter
            // whose read empties the counter is released; the others wait on.
            if (ready > 0 && TakeSignal()) return true;
            if (ready == 0) return false;
        }
    }

    void Reset() override { TakeSignal(); }

    intptr_t NativeHandle() const override { return fd_; }

private:
    // Empties the counter; true when it held a signal.
    bool TakeSignal() {
        uint64_t count = 0;
        ssize_t got;
        do {
            got = read(fd_, &count, sizeof count);
        } while (got < 0 && errno == EINTR);
        return got == static_cast<ssize_t>(sizeof count);
    }

    int fd_;
};

class EventFdFactory final : public EventFactory {
public:
    std::unique_ptr<Event> CreateAutoResetEvent() override {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0) return nullptr;
        return std::make_unique<EventFdEvent>(fd);
    }
};

}  // namespace

EventFactory& LinuxEvents() {
    static EventFdFactory factory;
    return factory;
}

}  // namespace linux_os
}  // namespace platform
