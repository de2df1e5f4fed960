#include "platform/substitute/fake_power.h"

namespace platform::substitute {

namespace {

class FakeHold final : public PowerHold {
public:
    explicit FakeHold(std::shared_ptr<FakePower::Shared> shared) : shared_(std::move(shared)) {}
    ~FakeHold() override {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        --shared_->live;
        shared_->calls.push_back("Release");
    }

private:
    std::shared_ptr<FakePower::Shared> shared_;
};

}  // namespace

FakePower::FakePower() : shared_(std::make_shared<Shared>()) {}

void FakePower::Record(const char* call) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->calls.push_back(call);
}

bool FakePower::CanReboot() {
    Record("CanReboot");
    return RightGranted;
}

bool FakePower::Reboot() {
    Record("Reboot");
    return RebootAccepted;
}

bool FakePower::ReleaseRebootRight() {
    Record("ReleaseRebootRight");
    return RightReleased;
}

std::unique_ptr<PowerHold> FakePower::HoldSleepAndShutdown(const std::string& why) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->calls.push_back("Hold");
    if (!HoldAvailable) return nullptr;
    shared_->reasons.push_back(why);
    ++shared_->live;
    return std::make_unique<FakeHold>(shared_);
}

std::vector<std::string> FakePower::Calls() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->calls;
}

int FakePower::LiveHolds() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->live;
}

std::vector<std::string> FakePower::HoldReasons() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->reasons;
}

}  // namespace platform::substitute
