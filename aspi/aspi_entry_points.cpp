// The two functions the library exports; everything else in it stays hidden.
#include <cstdlib>
#include <iostream>
#include <memory>

#include "aspi/aspi_interface.h"
#include "aspi/aspi_manager.h"
#include "aspi/simulated_bus.h"
#include "aspi/sysfs_bus.h"
#include "sim/attached.h"

namespace {

// The library is loaded on its own, by the program or by any other host, so it chooses its
// bus itself, once: the simulated drives of the description that ZVFIRM_SIMULATE names
// (none when the file cannot be read), else the system's SCSI generic devices.
std::unique_ptr<aspi::Bus> MakeBus() {
    const char* simulated = std::getenv("ZVFIRM_SIMULATE");
    if (simulated != nullptr && *simulated != '\0')
        return std::make_unique<aspi::SimulatedBus>(sim::LoadAttachedDrives(simulated, std::cerr));
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
