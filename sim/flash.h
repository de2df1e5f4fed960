// WRITE BUFFER modes 4 and 5: the download and the flash programming.
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

Response DownloadMicrocode(DriveState& state, const Request& request);
// Ends a programming whose time has passed.
void SettleProgramming(DriveState& state);

}  // namespace sim
