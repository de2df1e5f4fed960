#include "platform/linux/linux_platform.h"

namespace platform::linux_os {

Services LinuxServices() {
    Services services;
    services.System = &LinuxSystemInfo();
    services.Events = &LinuxEvents();
    services.Time = &LinuxClock();
    services.Files = &LinuxFiles();
    services.Libraries = &LinuxLibraries();
    services.Drives = &LinuxDrives();
    services.PowerManagement = &LinuxPower();
    services.NextBoot = &LinuxBootDeletion();
    return services;
}

}  // namespace platform::linux_os
