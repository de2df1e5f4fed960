// Puts the program-wide records the drive code reads back to a known state.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

// 36 bytes of standard INQUIRY data. Vendor, product and revision are taken as given
// (at most 8, 16 and 4 bytes) and padded with zero bytes, so callers spell out blanks.
inline std::vector<uint8_t> MakeInquiry(uint8_t byte0, uint8_t byte3, const std::string& vendor,
                                        const std::string& product, const std::string& revision) {
    std::vector<uint8_t> data(36, 0);
    data[0] = byte0;
    data[3] = byte3;
    data[4] = 31;
    std::memcpy(&data[8], vendor.data(), std::min<size_t>(vendor.size(), 8));
    std::memcpy(&data[16], product.data(), std::min<size_t>(product.size(), 16));
    std::memcpy(&data[32], revision.data(), std::min<size_t>(revision.size(), 4));
    return data;
}

}  // namespace drive_test
