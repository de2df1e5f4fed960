#include "drive/discovery.h"

#include <cstring>

#include "drive/display_text.h"
#include "drive/identify_candidate.h"
#include "platform/platform.h"
#include "platform/scsi_codes.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_run.h"
#include "scsi/exec_scsi_command.h"

namespace {

constexpr uint32_t kDefaultTargetCount = 8;
// The walks stop when the table is full; further drives are not listed.
constexpr uint32_t kTableSize = kDriveTableSize;

// Walks every target of every ASPI host adapter.
uint32_t DiscoverOnAspiAdapters() {
    SRB_HAInquiry* answer = nullptr;
    if (AspiHostAdapterInquiry(0, &answer) != 0) return 0;
    const uint32_t adapterCount = answer->HA_Count;

    uint32_t count = 0;
    for (uint32_t adapter = 0; adapter < adapterCount; ++adapter) {
        if (AspiHostAdapterInquiry(static_cast<uint8_t>(adapter), &answer) != 0) continue;
        // HA_Unique bytes 0 and 1: the alignment mask, low byte first.
        const uint32_t alignMask = static_cast<uint32_t>(answer->HA_Unique[0]) |
                                   (static_cast<uint32_t>(answer->HA_Unique[1]) << 8);
        uint32_t targetCount = answer->HA_Unique[3];
        if (targetCount == 0) targetCount = kDefaultTargetCount;

        for (uint32_t target = 0; target < targetCount; ++target) {
            DriveEntry& entry = DriveTable[count];
            entry.HaId = static_cast<uint8_t>(adapter);
            entry.Target = static_cast<uint8_t>(target);
            entry.Lun = 0;
            entry.Atapi = 0;
            entry.AlignMask = alignMask;

            uint8_t deviceType = 0;
            if (AspiGetDeviceType(entry, &deviceType) != 0 ||
                deviceType != scsi::kDeviceTypeCdrom) {
                continue;
            }
            if (IdentifyCandidate(entry, FormatAspiDisplayText) && ++count == kTableSize) {
                return count;
            }
        }
    }
    return count;
}

// Tries the drive letters A to Z and sends commands only to the optical drives.
uint32_t DiscoverOnDriveLetters() {
    const CommandRun walk;
    uint32_t count = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        DriveEntry& entry = DriveTable[count];
        std::memset(entry.DriveLetter, 0, sizeof(entry.DriveLetter));
        entry.DriveLetter[0] = letter;
        entry.HaId = 0;
        entry.Target = 0;
        entry.Lun = 0;
        entry.Atapi = 0;

        if (platform::Platform().Drives->DriveType(letter) != platform::kDriveCdrom) continue;
        if (IdentifyCandidate(entry, FormatLetterDisplayText) && ++count == kTableSize) {
            return count;
        }
    }
    return count;
}

}  // namespace

uint32_t DiscoverDrives() {
    return UsePassThrough != 0 ? DiscoverOnDriveLetters() : DiscoverOnAspiAdapters();
}
