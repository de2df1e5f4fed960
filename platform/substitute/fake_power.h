// Power management for tests: scripted answers, every call recorded, and holds counted.
//
//   platform::substitute::FakePower power;
//   power.RebootAccepted = false;            // the reboot request fails
//   services.PowerManagement = &power;
//   ... RestartComputer() ...
//   EXPECT_EQ(power.Calls(), (std::vector<std::string>{"CanReboot", "Reboot", ...}));
//
// Holds may be taken and dropped on any thread and may outlive the fake.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/power.h"

namespace platform::substitute {

class FakePower final : public Power {
public:
    // Answers, set by the test before the code under test runs.
    bool RightGranted = true;
    bool RebootAccepted = true;
    bool RightReleased = true;
    bool HoldAvailable = true;

    FakePower();

    bool CanReboot() override;
    bool Reboot() override;
    bool ReleaseRebootRight() override;
    std::unique_ptr<PowerHold> HoldSleepAndShutdown(const std::string& why) override;

    // "CanReboot", "Reboot", "ReleaseRebootRight", "Hold" and "Release", in order.
    std::vector<std::string> Calls() const;
    // Holds taken and not yet released.
    int LiveHolds() const;
    // The reason given for each hold taken.
    std::vector<std::string> HoldReasons() const;

    struct Shared {
        mutable std::mutex mutex;
        std::vector<std::string> calls;
        std::vector<std::string> reasons;
        int live = 0;
    };

private:
    void Record(const char* call);

    std::shared_ptr<Shared> shared_;
};

}  // namespace platform::substitute
