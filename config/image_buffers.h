// The memory behind the firmware image buffers of UpdateConfig.
#pragma once

#include <cstdint>

// A zero-filled buffer of `size` bytes, or null when it cannot be had. Never throws.
uint8_t* AllocateImageBuffer(uint32_t size);

// Frees Config.Image and sets it to null; start-up calls it after the main dialog.
void ReleaseMainImage();
// Frees Config.EpsImage and sets it to null (program end, tests).
void ReleaseEpsImage();
