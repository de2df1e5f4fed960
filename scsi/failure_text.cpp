#include "scsi/failure_text.h"

#include <cstdio>

#include "scsi/command_status.h"

std::string LastErrorText;

namespace {

struct SenseRow {
    uint8_t senseKeyByte;
    uint8_t asc;
    uint8_t ascq;
    const char* text;
};

// Flash programming failures the drives report. The sense key byte is compared whole:
// a key with flag bits set above it matches no row.
constexpr SenseRow kSenseRows[] = {
    {0x09, 0x82, 0x00, "Erase failure. (Code 09-82-00)"},
    {0x09, 0x84, 0x00, "Flash rom not erased. (Code 09-84-00)"},
    {0x09, 0x85, 0x00, "Flash rom write error. (Code 09-85-00)"},
    {0x09, 0x86, 0x00, "Flash rom check sum error. (Code 09-86-00)"},
    {0x09, 0x87, 0x00, "Firmware data error. (Code 09-87-00)"},
    {0x09, 0x88, 0x00, "Firmware Transfer data error. (Code 09-88-00)"},
    {0x04, 0x40, 0xF3, "Flash rom write error. (Code 04-40-f3)"},
    {0x04, 0x40, 0xF5, "Firmware data error. (Code 04-40-f5)"},
    {0x04, 0x40, 0xF6, "Firmware Transfer data error. (Code 04-40-f6)"},
};

// The text for the sense data in the record, or null when none is listed.
const char* SenseText(const CommandStatusRecord& status) {
    for (const SenseRow& row : kSenseRows) {
        if (row.senseKeyByte == status.SenseArea[kSenseKeyByte] &&
            row.asc == status.SenseArea[kSenseAsc] && row.ascq == status.SenseArea[kSenseAscq]) {
            return row.text;
        }
    }
    return nullptr;
}

const char* RequestStatusText(const CommandStatusRecord& status) {
    switch (status.SRB_Status) {
    case 0x02: return "SRB aborted.";
    case 0x03: return "Unable to abort SRB.";
    case 0x04: return SenseText(status);
    case 0x80: return "Invalid ASPI command.";
    case 0x81: return "Invalid host adapter number.";
    case 0x82: return "SCSI device not installed.";
    case 0xE0: return "Invalid parameter set in SRB.";
    case 0xE1: return "Buffer alignment problem.";
    case 0xE2: return "Device access security violation.";
    case 0xE4: return "ASPI for windows failed init.";
    case 0xE5: return "No resources available to execute cmd.";
    case 0xE6: return "Buffer size to big to handle!";
    default: return nullptr;
    }
}

const char* AdapterStatusText(const CommandStatusRecord& status) {
    switch (status.SRB_HaStat) {
    case 0x09: return "HA_Status: Timed out while SRB was waiting to be processed.";
    case 0x0B: return "HA_Status: While processing the SRB, the adapter timed out.";
    case 0x0D: return "HA_Status: While processing SRB, the adapter received a MESSAGE REJECT.";
    case 0x0E: return "HA_Status: A bus reset was detected.";
    case 0x0F: return "HA_Status: Parity error.";
    case 0x10: return "HA_Status: The adapter failed in issuing REQUEST SENSE.";
    case 0x11: return "HA_Status: Selection Timeout.";
    case 0x13: return "HA_Status: Unexpected bus free.";
    case 0x14: return "HA_Status: Target bus phase sequence failure.";
    default: return "HA_Status: error";
    }
}

const char* TargetStatusText(const CommandStatusRecord& status) {
    switch (status.SRB_TargStat) {
    case 0x02: {
        const uint8_t keyByte = status.SenseArea[kSenseKeyByte];
        if (keyByte == 0x09 || keyByte == 0x04) return SenseText(status);
        return "Target_Status: Check Condition";
    }
    case 0x08: return "Target_Status: BUSY";
    case 0x18: return "Target_Status: Reservation Conflict";
    default: return "Target_Status: error";
    }
}

std::string SystemErrorText(const CommandStatusRecord& status) {
    const int code = status.SRB_Status + 256 * status.SRB_HaStat + 65536 * status.SRB_TargStat;
    char text[48];
    std::snprintf(text, sizeof text, "System error (Win32): Code %d\n", code);
    return text;
}

}  // namespace

void DescribeFailure(ScsiResult result, std::string& text) {
    text.clear();
    const CommandStatusRecord& status = *CommandStatus;
    const char* chosen = nullptr;
    switch (result) {
    case kScsiUpdateFailure: chosen = "Firmware update failure."; break;
    case kScsiCompareFailure: chosen = "Firmware compare failure."; break;
    case kScsiSystemError: text = SystemErrorText(status); return;
    case kScsiNoMemory: chosen = "Memory allocation failure."; break;
    case kScsiNoSystemObject: chosen = "Can not create Event."; break;
    case kScsiAspiStatusError: chosen = RequestStatusText(status); break;
    case kScsiAdapterError: chosen = AdapterStatusText(status); break;
    case kScsiTargetError: chosen = TargetStatusText(status); break;
    default: break;
    }
    if (chosen != nullptr) text = chosen;
}
