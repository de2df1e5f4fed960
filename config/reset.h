// Puts the update configuration into its state before the configuration file is read.
#pragma once

#include <cstdint>

// Zeroes every byte of Config (no image buffers are held afterwards: release them first),
// then sets the chunk size and wait time defaults and the detected OS family.
void ResetUpdateConfig(uint8_t osKind);
