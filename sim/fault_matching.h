// Which injected fault, if any, hits a command.
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

// Counts the command for the fault selectors, and returns the fault that hits it.
const Fault* CountAndMatchFault(DriveState& state, const Request& request);

}  // namespace sim
