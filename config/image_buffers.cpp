#include "config/image_buffers.h"

#include <cstdlib>

#include "config/update_config.h"

// calloc hands out zero-filled memory, which is what the buffers must hold before the
// file is read into them, and reports failure by null instead of throwing.
uint8_t* AllocateImageBuffer(uint32_t size) { return static_cast<uint8_t*>(std::calloc(size, 1)); }

void ReleaseMainImage() {
    std::free(Config.Image);
    Config.Image = nullptr;
}

void ReleaseEpsImage() {
    std::free(Config.EpsImage);
    Config.EpsImage = nullptr;
}
