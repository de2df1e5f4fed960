// The secondary image buffers of WRITE BUFFER and READ BUFFER mode 0.
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

Response SecondaryWriteBuffer(DriveState& state, const Request& request);
Response SecondaryReadBuffer(DriveState& state, const Request& request);

}  // namespace sim
