#include "drive/identify_candidate.h"

#include <cstring>

#include "config/update_config.h"
#include "drive/commands.h"
#include "drive/identity_match.h"
#include "platform/scsi_codes.h"

namespace {

constexpr size_t kInquiryBufferSize = 40;
constexpr uint32_t kInquiryLength = 36;
constexpr size_t kVendorOffset = 8;
constexpr size_t kAtapiVersionByte = 3;
constexpr size_t kRevisionOffset = 32;

// One INQUIRY, and a second attempt when the first fails.
bool InquiryWithRetry(const DriveEntry& entry, uint8_t* buffer) {
    if (Inquiry(entry, buffer, kInquiryLength) == kScsiOk) return true;
    return Inquiry(entry, buffer, kInquiryLength) == kScsiOk;
}

// Reads the INQUIRY data into `a` until two consecutive reads agree. A drive that fails
// every read leaves both buffers zero, which agree and are then rejected as no CD/DVD
// device. False when the reads never agree.
bool ReadAgreeingInquiry(const DriveEntry& entry, uint8_t* a) {
    uint8_t b[kInquiryBufferSize];
    for (int round = 0; round < kInquiryAgreementRounds; ++round) {
        std::memset(a, 0, kInquiryBufferSize);
        std::memset(b, 0, kInquiryBufferSize);
        if (InquiryWithRetry(entry, a)) {
            InquiryWithRetry(entry, b);
        }
        if (std::memcmp(a, b, kInquiryBufferSize) == 0) return true;
    }
    return false;
}

// The configured list, zero-terminated even if the field is full.
void CopyPatterns(char (&list)[sizeof(Config.InquiryPatterns) + 1]) {
    std::memcpy(list, Config.InquiryPatterns, sizeof(Config.InquiryPatterns));
    list[sizeof(Config.InquiryPatterns)] = '\0';
}

}  // namespace

bool IdentifyCandidate(DriveEntry& entry, DisplayFormatter formatDisplayText) {
    // Lets a drive report a pending unit attention before it is asked who it is.
    for (int i = 0; i < 3; ++i) TestUnitReady(entry);

    uint8_t inquiry[kInquiryBufferSize];
    if (!ReadAgreeingInquiry(entry, inquiry)) return false;

    char patterns[sizeof(Config.InquiryPatterns) + 1];
    CopyPatterns(patterns);
    // The whole byte: a non-zero peripheral qualifier means no device is connected there.
    if (inquiry[0] != scsi::kDeviceTypeCdrom || inquiry[kVendorOffset] == 0 ||
        !MatchIdentity(inquiry + kVendorOffset, patterns)) {
        return false;
    }

    formatDisplayText(entry, inquiry);
    std::memcpy(entry.Revision, inquiry + kRevisionOffset, sizeof(entry.Revision));
    entry.Atapi = (inquiry[kAtapiVersionByte] & 0xF0) != 0 ? 1 : 0;
    return true;
}
