// What the program needs of the system's power management: the right to reboot, the reboot
// itself, and a hold that keeps the machine from sleeping or shutting down while a drive's
// flash is being written.
#pragma once

#include <memory>
#include <string>

namespace platform {

// Released when destroyed.
class PowerHold {
public:
    virtual ~PowerHold() = default;
};

class Power {
public:
    virtual ~Power() = default;
    // True when this process may ask for a reboot (possibly after the user authenticates).
    virtual bool CanReboot() = 0;
    // True when the system accepted the reboot request.
    virtual bool Reboot() = 0;
    // Gives the reboot right back after the request. Where the right is granted per request
    // (logind asks polkit for each one) there is nothing to give back, and this succeeds.
    virtual bool ReleaseRebootRight() { return true; }
    // Keeps the machine from suspending, hibernating and shutting down until the hold is
    // destroyed; `why` is shown to the user by the system. Null when no hold can be taken.
    virtual std::unique_ptr<PowerHold> HoldSleepAndShutdown(const std::string& why) = 0;
};

}  // namespace platform
