// How the outcome of a command on a Linux SCSI device reads as ASPI statuses.
#pragma once

#include <cstdint>

#include "aspi/aspi_bus.h"

namespace aspi {

// An adapter failure that no ASPI host adapter status names; callers see it as a generic
// adapter error.
constexpr uint8_t kHaStatUnspecified = 0x0A;

struct AspiStatus {
    uint8_t srbStatus = 0;
    uint8_t haStat = 0;
    uint8_t targStat = 0;
};

// `requested` is the transfer length asked for: fewer bytes moved reads as data
// underrun, which is not an error.
AspiStatus MapDeviceOutcome(const DeviceOutcome& outcome, uint32_t requested);

}  // namespace aspi
