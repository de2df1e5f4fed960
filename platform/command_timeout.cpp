#include "platform/command_timeout.h"

#include "platform/scsi_codes.h"

namespace platform {

uint32_t CommandTimeoutSeconds(const uint8_t* cdb) {
    return cdb[0] == scsi::kOpWriteBuffer && cdb[1] == scsi::kModeDownloadAndSave
               ? kFlashTimeoutSeconds
               : kCommandTimeoutSeconds;
}

}  // namespace platform
