#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/linux/linux_platform.h"

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
        pollfd waiting{fd_, POLLIN, 0};
        const int pollTimeout = timeoutMs == kWaitInfinite ? -1 : static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX));
        for (;;) {
            const int ready = poll(&waiting, 1, pollTimeout);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            Reset();
            return true;
        }
    }

    void Reset() override {
        uint64_t count;
        while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }

    intptr_t NativeHandle() const override { return fd_; }

private:
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
