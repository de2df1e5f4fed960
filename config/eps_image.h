// Loading the secondary (EPS) firmware image, when the configuration names one.
#pragma once

#include <cstdint>

#include "config/update_config.h"

constexpr uint32_t kEpsDefaultSize = 0x10000;

// When EpsFileName is not empty: EpsVersion must be given (7); settles EpsSize (default,
// ceiling 5), allocates EpsImage (5) and reads the file into it (20, 21, 22).
uint8_t LoadEpsImage(UpdateConfig& config);
