#include "app/restart_computer.h"

#include "app/reboot_failure.h"
#include "config/update_config.h"
#include "platform/platform.h"

namespace {

constexpr uint8_t kOsKind9x = 0;

}  // namespace

// Each failed step shows the message once. On the NT family the right is given back after a
// failed request too, so a failed request and a failed release show it twice.
void RestartComputer() {
    platform::Power* power = platform::Platform().PowerManagement;
    if (power == nullptr) {
        ShowRebootFailure();
        return;
    }
    // The 9x family has no reboot right to take: the request alone.
    if (Config.OsKind == kOsKind9x) {
        if (!power->Reboot()) ShowRebootFailure();
        return;
    }
    if (!power->CanReboot()) {
        ShowRebootFailure();
        return;
    }
    if (!power->Reboot()) ShowRebootFailure();
    if (!power->ReleaseRebootRight()) ShowRebootFailure();
}
