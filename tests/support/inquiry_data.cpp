#include "tests/support/inquiry_data.h"

#include <algorithm>
#include <cstring>

namespace test_support {

std::vector<uint8_t> MakeInquiry(uint8_t byte0, uint8_t byte3, const std::string& vendor,
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

}  // namespace test_support
