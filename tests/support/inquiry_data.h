// Standard INQUIRY data for scripted drives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// 36 bytes of standard INQUIRY data: byte 0 (qualifier and device type), byte 3 (ATAPI
// version in its high nibble), additional length 31. Vendor, product and revision are taken
// as given (at most 8, 16 and 4 bytes) and padded with zero bytes, so callers spell out
// blanks.
std::vector<uint8_t> MakeInquiry(uint8_t byte0, uint8_t byte3, const std::string& vendor,
                                 const std::string& product, const std::string& revision);

}  // namespace test_support
