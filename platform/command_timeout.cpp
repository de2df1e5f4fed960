#include "platform/command_timeout.h"

namespace platform {

uint32_t CommandTimeoutSeconds(const uint8_t* cdb) {
    constexpr uint8_t kWriteBuffer = 0x3B;
    constexpr uint8_t kDownloadAndSave = 0x05;
    return cdb[0] == kWriteBuffer && cdb[1] == kDownloadAndSave ? kFlashTimeoutSeconds
                                                                : kCommandTimeoutSeconds;
}

}  // namespace platform
