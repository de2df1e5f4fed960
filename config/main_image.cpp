#include "config/main_image.h"

#include "config/image_buffers.h"
#include "config/image_file.h"
#include "config/load_configuration.h"

uint32_t DefaultFirmwareSize(uint8_t cautionKind) {
    switch (cautionKind) {
    case 1:
    case 2: return 0x80000;  // CD-R, CD-R/RW
    case 3: return 0x20000;  // CD-ROM
    default: return 0;
    }
}

uint8_t LoadMainImage(UpdateConfig& config) {
    if (config.FirmwareSize == 0) config.FirmwareSize = DefaultFirmwareSize(config.CautionKind);
    if (config.FirmwareSize == 0) return kConfigNoFirmwareSize;

    // The update sends FirmwareSize / BufferSize whole chunks: a chunk size of 0 cannot
    // divide, an image smaller than one chunk would send nothing at all, and a chunk of
    // 16 MiB or more does not fit the 24-bit length of a WRITE BUFFER block. Tested once
    // the image size is settled, before anything is allocated or opened.
    if (config.BufferSize == 0 || config.FirmwareSize < config.BufferSize ||
        config.BufferSize > kMaxChunkSize)
        return kConfigBadChunkSize;

    // A size beyond what WRITE BUFFER can address (for example a negative number read as
    // a huge unsigned one) is refused rather than allocated and zero-filled.
    if (config.FirmwareSize > kMaxImageSize) return kConfigNoMemory;
    config.Image = AllocateImageBuffer(config.FirmwareSize);
    if (config.Image == nullptr) return kConfigNoMemory;

    return ReadImageFile(config.FirmwareFileName, config.Image, config.FirmwareSize,
                         {kConfigImageNotFound, kConfigImageReadFailed, kConfigImageTooShort});
}
