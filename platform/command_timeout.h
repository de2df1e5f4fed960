// How long the kernel lets one SCSI command take before it gives up on it: the one rule,
// for the pass-through transport and the ASPI manager alike.
#pragma once

#include <cstdint>

#include "platform/scsi_codes.h"

namespace platform {

// WRITE BUFFER "download microcode and save" (0x3B, byte 1 exactly 0x05) makes the drive
// program its flash, which takes minutes: 600 s. Every other command: 10 s, so that a
// drive that stops answering is reported soon. Byte 1 is compared whole: mode 5 with any
// other bit set is not this command. The ASPI program side waits a little longer than
// 600 s for a request, so the kernel's verdict is always the one reported.
inline constexpr uint32_t kFlashTimeoutSeconds = 600;
inline constexpr uint32_t kCommandTimeoutSeconds = 10;

// Inline: it is asked for every command sent.
inline uint32_t CommandTimeoutSeconds(const uint8_t* cdb) {
    return cdb[0] == scsi::kOpWriteBuffer && cdb[1] == scsi::kModeDownloadAndSave
               ? kFlashTimeoutSeconds
               : kCommandTimeoutSeconds;
}

}  // namespace platform
