// Puts the program-wide records the drive code reads back to a known state.
#pragma once

#include <cstdint>
#include <cstring>

#include "config/update_config.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"

namespace drive_test {

inline void ResetProgramState(uint8_t usePassThrough, const char* inquiryPatterns = "") {
    std::memset(DriveTable, 0, sizeof DriveTable);
    std::memset(&Config, 0, sizeof Config);
    std::strncpy(Config.InquiryPatterns, inquiryPatterns, sizeof Config.InquiryPatterns - 1);
    UsePassThrough = usePassThrough;
}

}  // namespace drive_test
