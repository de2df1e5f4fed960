#include "config/eps_image.h"

#include "config/image_buffers.h"
#include "config/image_file.h"
#include "config/load_configuration.h"

uint8_t LoadEpsImage(UpdateConfig& config) {
    if (config.EpsFileName[0] == '\0') return kConfigOk;
    if (config.EpsVersion[0] == '\0') return kConfigIdentityIncomplete;
    if (config.EpsSize == 0) config.EpsSize = kEpsDefaultSize;

    if (config.EpsSize > kMaxImageSize) return kConfigNoMemory;
    config.EpsImage = AllocateImageBuffer(config.EpsSize);
    if (config.EpsImage == nullptr) return kConfigNoMemory;

    return ReadImageFile(config.EpsFileName, config.EpsImage, config.EpsSize,
                         {kConfigEpsNotFound, kConfigEpsReadFailed, kConfigEpsTooShort});
}
