// Building the drive's answers and reading its command blocks.
#pragma once

#include <cstdint>

#include "sim/drive_state.h"

namespace sim {

// Helpers for building answers.
Response Good(uint32_t transferred = 0);
Response CheckCondition(DriveState& state, SenseCode code);
Response Busy();

// Big-endian fields of a command block.
uint32_t Field24(const uint8_t* bytes);
uint32_t Field32(const uint8_t* bytes);
uint16_t Field16(const uint8_t* bytes);

// True when a data-out command of `needed` bytes has them from the host.
bool HasDataOut(const Request& request, uint32_t needed);
// True when a data-in command can return data (or asks for none).
bool CanReturnData(const Request& request, uint32_t wanted);

}  // namespace sim
