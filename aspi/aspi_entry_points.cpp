// The two functions the library exports; everything else in it stays hidden.
#include <memory>

#include "aspi/aspi_interface.h"
#include "aspi/aspi_manager.h"
#include "aspi/simulated_bus.h"
#include "aspi/sysfs_bus.h"
#include "sim/sim_drive.h"

namespace {

std::unique_ptr<aspi::Bus> MakeBus() {
    if (sim::SimulationRequested())
        return std::make_unique<aspi::SimulatedBus>(sim::AttachedDrives());
    return std::make_unique<aspi::SysfsBus>("/sys", "/dev");
}

// Made on first use, when the bus is scanned, and never destroyed: requests still running
// on their threads when the program ends keep using it. The library is linked so that it
// stays mapped after dlclose, for the same reason.
aspi::Manager& TheManager() {
    static aspi::Manager* manager = new aspi::Manager(MakeBus());
    return *manager;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo(void) {
    return TheManager().SupportInfo();
}

extern "C" __attribute__((visibility("default"))) uint32_t SendASPI32Command(void* srb) {
    return TheManager().Send(srb);
}
