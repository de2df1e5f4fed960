#include "config/identity.h"

#include <cstring>

#include "config/load_configuration.h"

namespace {

constexpr char kBlockVendor[] = "ZORVANT ";
constexpr size_t kBlockVendorLength = sizeof kBlockVendor - 1;
constexpr size_t kIdentityLength = 24;  // vendor and product identification
constexpr size_t kVersionOffset = 24;
constexpr size_t kVersionLength = 4;

bool BlockAt(const uint8_t* image, uint32_t size, uint32_t offset) {
    return size >= offset && size - offset >= kIdentityBlockSize &&
           std::memcmp(image + offset, kBlockVendor, kBlockVendorLength) == 0;
}

}  // namespace

const uint8_t* FindIdentityBlock(const uint8_t* image, uint32_t size) {
    if (image == nullptr) return nullptr;
    if (BlockAt(image, size, kIdentityBlockOffset)) return image + kIdentityBlockOffset;
    if (BlockAt(image, size, 0)) return image;
    return nullptr;
}

uint8_t SettleIdentity(UpdateConfig& config) {
    if (config.NoBinaryInfo != 1) {
        const uint8_t* block = FindIdentityBlock(config.Image, config.FirmwareSize);
        if (block != nullptr) {
            // One entry: the 24 identification bytes and its ";".
            std::memset(config.InquiryPatterns, 0, sizeof config.InquiryPatterns);
            std::memcpy(config.InquiryPatterns, block, kIdentityLength);
            config.InquiryPatterns[kIdentityLength] = ';';
            std::memset(config.Version, 0, sizeof config.Version);
            std::memcpy(config.Version, block + kVersionOffset, kVersionLength);
            return kConfigOk;
        }
    }
    if (config.InquiryPatterns[0] == '\0' || config.InquiryPatterns[0] == ';' ||
        config.Version[0] == '\0') {
        return kConfigIdentityIncomplete;
    }
    if (std::strchr(config.InquiryPatterns, ';') == nullptr) return kConfigInquiryWithoutSeparator;
    return kConfigOk;
}

std::string ReduceBlankRuns(const std::string& text) {
    std::string reduced;
    reduced.reserve(text.size());
    for (const char c : text) {
        if (c == ' ' && !reduced.empty() && reduced.back() == ' ') continue;
        reduced.push_back(c);
    }
    return reduced;
}

std::string MakeTitle(const char* inquiryPatterns, const char* version) {
    std::string title(inquiryPatterns, strnlen(inquiryPatterns, kIdentityLength));
    title += " Upgrade => ";
    title.append(version, strnlen(version, kVersionLength));
    return ReduceBlankRuns(title);
}

void SetTitleIfMissing(UpdateConfig& config) {
    if (config.AppTitle[0] != '\0') return;
    const std::string title = MakeTitle(config.InquiryPatterns, config.Version);
    // At most 24 + 12 + 4 characters: always fits.
    std::strncpy(config.AppTitle, title.c_str(), sizeof config.AppTitle - 1);
    config.AppTitle[sizeof config.AppTitle - 1] = '\0';
}
