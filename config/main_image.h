// Loading the main firmware image named by the configuration.
#pragma once

#include <cstdint>

#include "config/update_config.h"

// The largest chunk one WRITE BUFFER block can carry (24-bit length).
constexpr uint32_t kMaxChunkSize = 0xFFFFFF;

// The image size used when the configuration gives none: 0x80000 for CD-R and CD-R/RW,
// 0x20000 for CD-ROM, 0 (no default) otherwise.
uint32_t DefaultFirmwareSize(uint8_t cautionKind);

// Settles FirmwareSize (default, 4; chunk check, 6; ceiling, 5), allocates Image (5) and
// reads the file named by FirmwareFileName into it (10, 11, 12).
uint8_t LoadMainImage(UpdateConfig& config);
