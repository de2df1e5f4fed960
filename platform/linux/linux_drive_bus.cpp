#include "platform/linux/linux_platform.h"
#include "platform/linux/simulated_drive_bus.h"
#include "platform/linux/sysfs_drive_bus.h"
#include "sim/sim_drive.h"

namespace platform::linux_os {

// Simulated drives, when asked for, take the place of the real ones entirely.
DriveBus& LinuxDrives() {
    if (sim::SimulationRequested()) {
        static SimulatedDriveBus simulated(sim::AttachedDrives());
        return simulated;
    }
    static SysfsDriveBus real("/sys", "/dev");
    return real;
}

}  // namespace platform::linux_os
