#include "platform/substitute/fake_events.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>

#include "platform/substitute/fake_clock.h"

namespace platform::substitute {

namespace {

class FakeEvent final : public Event {
public:
    explicit FakeEvent(std::shared_ptr<FakeEventFactory::Shared> shared)
        // A real eventfd stands behind NativeHandle so that code which signals through the
        // handle (the ASPI manager) is seen too; it is only ever read without blocking.
        : shared_(std::move(shared)), fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    ~FakeEvent() override {
        if (fd_ >= 0) close(fd_);
        std::lock_guard<std::mutex> lock(shared_->mutex);
        --shared_->live;
    }

    void Signal() override { signalled_ = true; }

    bool Wait(uint32_t timeoutMs) override {
        const bool wasSignalled = TakeSignal();
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->waits.push_back({timeoutMs, wasSignalled});
        if (!wasSignalled && shared_->clock != nullptr && timeoutMs != kWaitInfinite)
            shared_->clock->Advance(timeoutMs);
        return wasSignalled;
    }

    void Reset() override { TakeSignal(); }

    intptr_t NativeHandle() const override { return fd_; }

private:
    // Clears both ways of signalling; true when either was set.
    bool TakeSignal() {
        bool was = signalled_.exchange(false);
        if (fd_ >= 0) {
            uint64_t count = 0;
            ssize_t got;
            do {
                got = read(fd_, &count, sizeof count);
            } while (got < 0 && errno == EINTR);
            if (got == static_cast<ssize_t>(sizeof count) && count > 0) was = true;
        }
        return was;
    }

    std::shared_ptr<FakeEventFactory::Shared> shared_;
    int fd_;
    std::atomic<bool> signalled_{false};
};

}  // namespace

FakeEventFactory::FakeEventFactory() : shared_(std::make_shared<Shared>()) {}

std::unique_ptr<Event> FakeEventFactory::CreateAutoResetEvent() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->failCreation) {
            ++shared_->failed;
            return nullptr;
        }
        ++shared_->created;
        ++shared_->live;
    }
    return std::make_unique<FakeEvent>(shared_);
}

void FakeEventFactory::FailCreation(bool fail) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->failCreation = fail;
}

void FakeEventFactory::AdvanceClockOnTimeout(FakeClock* clock) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->clock = clock;
}

std::vector<FakeEventFactory::WaitRecord> FakeEventFactory::Waits() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->waits;
}

std::vector<uint32_t> FakeEventFactory::WaitTimeouts() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    std::vector<uint32_t> timeouts;
    for (const WaitRecord& wait : shared_->waits) timeouts.push_back(wait.timeoutMs);
    return timeouts;
}

int FakeEventFactory::CreatedCount() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->created;
}

int FakeEventFactory::FailedCreationCount() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->failed;
}

int FakeEventFactory::LiveCount() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->live;
}

}  // namespace platform::substitute
