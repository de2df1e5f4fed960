// The vendor commands: the board record read (0xF5) and the memory write (0xF0).
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

Response ReadBoardInfo(DriveState& state, const Request& request);
Response WriteVendorData(DriveState& state, const Request& request);
// One byte of the memory both commands reach.
uint8_t MemoryByte(const DriveState& state, uint32_t address);

}  // namespace sim
