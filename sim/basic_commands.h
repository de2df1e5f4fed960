// INQUIRY, TEST UNIT READY, REQUEST SENSE and START STOP UNIT.
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

Response Inquiry(DriveState& state, const Request& request);
Response TestUnitReady(DriveState& state);
Response RequestSense(DriveState& state, const Request& request);
Response StartStopUnit(DriveState& state, const Request& request);

}  // namespace sim
