#include "platform/platform.h"

#include "platform/linux/linux_platform.h"

namespace platform {

namespace {

Services MakeLinuxServices() {
    Services services;
    services.System = &linux_os::LinuxSystemInfo();
    services.Events = &linux_os::LinuxEvents();
    services.Time = &linux_os::LinuxClock();
    services.Files = &linux_os::LinuxFiles();
    services.Libraries = &linux_os::LinuxLibraries();
    services.Drives = &linux_os::LinuxDrives();
    services.PowerManagement = &linux_os::LinuxPower();
    services.NextBoot = &linux_os::LinuxBootDeletion();
    return services;
}

}  // namespace

Services& Platform() {
    static Services services = MakeLinuxServices();
    return services;
}

ScopedServices::ScopedServices(const Services& replacement) : saved_(Platform()) {
    Platform() = replacement;
}

ScopedServices::~ScopedServices() { Platform() = saved_; }

}  // namespace platform
