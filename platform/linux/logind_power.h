// Reboot and the sleep/shutdown hold through systemd-logind on the system D-Bus.
//
// Every request opens its own connection to the system bus (the one that
// DBUS_SYSTEM_BUS_ADDRESS names, else the standard socket) and closes it before it returns,
// so the requests may come from any thread: the hold is taken by the update worker, the
// reboot is asked for on the GUI thread. No logind on the bus, or a refusal, is a failure;
// the reason goes to standard error.
#pragma once

#include "platform/power.h"

namespace platform::linux_os {

class LogindPower final : public Power {
public:
    // logind answers "yes", or "challenge" when polkit will ask the user to authenticate.
    bool CanReboot() override;
    // An interactive request, so that polkit may ask for a password on a desktop.
    bool Reboot() override;
    // A "block" inhibitor lock on sleep, shutdown, idle and the lid and sleep keys, held
    // through the descriptor logind hands out until the hold is destroyed.
    std::unique_ptr<PowerHold> HoldSleepAndShutdown(const std::string& why) override;
};

// The one instance the program uses.
Power& LinuxPower();

}  // namespace platform::linux_os
