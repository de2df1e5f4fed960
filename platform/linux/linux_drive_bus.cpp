#include "platform/linux/linux_platform.h"
#include "platform/linux/simulated_drive_bus.h"
#include "platform/linux/sysfs_drive_bus.h"
#include "sim/sim_drive.h"

namespace platform::linux_os {

namespace {

// Simulated drives, when asked for, take the place of the real ones entirely: a
// description that cannot be read gives no drives rather than the real ones.
DriveBus& ChooseDrives() {
    if (sim::SimulationRequested()) {
        static SimulatedDriveBus simulated(sim::AttachedDrives());
        return simulated;
    }
    static SysfsDriveBus real("/sys", "/dev");
    return real;
}

}  // namespace

// Chosen once, like the attached simulated drives themselves.
DriveBus& LinuxDrives() {
    static DriveBus& drives = ChooseDrives();
    return drives;
}

}  // namespace platform::linux_os
