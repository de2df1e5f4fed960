// The Linux implementations of the platform services.
#pragma once

#include "platform/platform.h"

namespace platform::linux_os {

SystemInfo& LinuxSystemInfo();
EventFactory& LinuxEvents();
Clock& LinuxClock();
FileSystem& LinuxFiles();
LibraryLoader& LinuxLibraries();
DriveBus& LinuxDrives();
Power& LinuxPower();
BootDeletion& LinuxBootDeletion();

}  // namespace platform::linux_os
