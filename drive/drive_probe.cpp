#include "drive/drive_probe.h"

#include <cstring>

#include "config/update_config.h"
#include "drive/discovery.h"
#include "drive/identity_match.h"
#include "platform/platform.h"
#include "platform/scsi_codes.h"
#include "scsi/exec_scsi_command.h"
#include "scsi/pass_through_transport.h"

namespace {

constexpr uint8_t kInquiryLength = 36;
constexpr size_t kIdentityOffset = 8;
constexpr size_t kIdentityLength = 28;

// One INQUIRY through the pass-through transport, whichever transport the package uses:
// the drive-letter map is the one list of optical drives with their nodes.
bool AskInquiry(char letter, uint8_t (&data)[40]) {
    DriveEntry entry{};
    entry.DriveLetter[0] = letter;
    uint8_t cdb[12] = {scsi::kOpInquiry, 0, 0, 0, kInquiryLength, 0};
    std::memset(data, 0, sizeof data);
    // Twelve bytes: ATAPI drives take no shorter block, and the others ignore the rest.
    entry.Atapi = 1;
    return PassThroughExecute(entry, data, kInquiryLength, cdb, 6, kDirIn) == kScsiOk;
}

DriveFinding Classify(const uint8_t (&data)[40]) {
    if (data[0] != scsi::kDeviceTypeCdrom) return DriveFinding::NotCdDvd;
    char patterns[sizeof(Config.InquiryPatterns) + 1];
    std::memcpy(patterns, Config.InquiryPatterns, sizeof(Config.InquiryPatterns));
    patterns[sizeof(Config.InquiryPatterns)] = '\0';
    if (data[kIdentityOffset] == 0 || !MatchIdentity(data + kIdentityOffset, patterns))
        return DriveFinding::OtherIdentity;
    return DriveFinding::Matches;
}

}  // namespace

std::vector<ProbedDrive> ProbeOpticalDrives(bool inquire) {
    std::vector<ProbedDrive> found;
    platform::DriveBus* drives = platform::Platform().Drives;
    if (drives == nullptr) return found;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (drives->DriveType(letter) != platform::kDriveCdrom) continue;
        ProbedDrive drive;
        drive.Letter = letter;
        drive.Node = drives->DescribeNode(letter);
        const platform::DriveHandle handle = drives->Open(letter, false);
        if (handle == platform::kInvalidDrive) {
            drive.Finding = DriveFinding::NoAccess;
            found.push_back(drive);
            continue;
        }
        drives->Close(handle);
        drive.Finding = DriveFinding::Matches;
        if (inquire) {
            uint8_t data[40];
            if (!AskInquiry(letter, data)) {
                drive.Finding = DriveFinding::NoAnswer;
            } else {
                drive.Finding = Classify(data);
                std::memcpy(drive.Identity, data + kIdentityOffset, kIdentityLength);
            }
        }
        found.push_back(drive);
    }
    return found;
}
