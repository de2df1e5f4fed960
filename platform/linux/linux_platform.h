// The Linux implementations of the platform services, gathered in one record.
#pragma once

#include "platform/linux/linux_clock.h"
#include "platform/linux/linux_events.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_library_loader.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/logind_power.h"
#include "platform/linux/sysfs_drive_bus.h"
#include "platform/linux/tmpfiles_boot_deletion.h"
#include "platform/platform.h"

namespace platform::linux_os {

// Every service of the running system: the system's own drives, logind for power management and
// systemd-tmpfiles for deletion at the next boot, and no message boxes (the user interface
// brings them).
Services LinuxServices();

}  // namespace platform::linux_os
