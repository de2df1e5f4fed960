// The pass-through transport: a command opens the drive by its letter, asks for the
// adapter's buffer alignment, sends one request block and closes the drive again; during a
// discovery walk or an update the opened node and its alignment are kept for the next
// command instead (command_run.h).
#include "scsi/pass_through_transport.h"

#include <cstring>

#include "platform/command_timeout.h"
#include "platform/pass_through.h"
#include "platform/scsi_codes.h"
#include "scsi/aligned_buffer.h"
#include "scsi/command_run.h"
#include "scsi/command_status.h"

namespace {

// This transport's outcome record. Only SRB_Status, SRB_HaStat, SRB_TargStat, SRB_CDBLen,
// CDBByte and the first 14 sense bytes are ever written; SRB_Status and SRB_HaStat keep
// the system error code of the last failed request until the next one.
CommandStatusRecord passThroughStatus;

// The request block, shared by every command (one command is in flight at a time).
platform::PassThroughBlock passThroughRequest;

constexpr uint16_t kRequestLength = 44;  // the request record without filler and sense
constexpr uint8_t kTargetId = 1;
constexpr uint8_t kSenseInfoLength = 32;
constexpr uint32_t kSenseInfoOffset = 48;

}  // namespace

ScsiResult PassThroughExecute(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                              const uint8_t* cdb, uint8_t cdbLength, uint8_t flags) {
    CommandStatus = &passThroughStatus;

    // ATAPI devices take only 12-byte command blocks.
    if (entry.Atapi == 1) cdbLength = scsi::kCdbSize;
    // The caller's block is 12 bytes long; nothing past it is read.
    const uint8_t cdbCopied = cdbLength < scsi::kCdbSize ? cdbLength : scsi::kCdbSize;

    const char letter = entry.DriveLetter[0];
    const OpenedDrive drive = OpenDriveForCommand(letter);
    if (drive.Handle == platform::kInvalidDrive) return kScsiNoSystemObject;

    // Every field is set below, so the block is not cleared as a whole first.
    platform::PassThroughBlock& request = passThroughRequest;
    std::memset(request.SenseBuffer, 0, sizeof request.SenseBuffer);
    request.Filler = 0;
    platform::ScsiPassThroughDirect& sptd = request.Sptd;
    sptd.Length = kRequestLength;
    sptd.ScsiStatus = 0;
    sptd.PathId = 0;
    sptd.TargetId = kTargetId;
    sptd.Lun = 0;
    sptd.CdbLength = cdbLength;
    sptd.SenseInfoLength = kSenseInfoLength;

    uint8_t* outgoingCopy = nullptr;
    void* dataBuffer = buffer;
    switch (flags & (kDirIn | kDirOut)) {
    case kDirIn: sptd.DataIn = platform::kDataIn; break;
    case kDirOut:
        sptd.DataIn = platform::kDataOut;
        // Outgoing data is sent from a copy that meets the adapter's alignment; the
        // caller's buffer is never handed to the system for writing.
        outgoingCopy = AllocAligned(length, drive.AlignMask);
        if (outgoingCopy == nullptr) {
            EndDriveCommand(letter, drive, true);
            return kScsiNoMemory;
        }
        if (length != 0 && buffer != nullptr) std::memcpy(outgoingCopy, buffer, length);
        dataBuffer = outgoingCopy;
        break;
    default: sptd.DataIn = platform::kDataUnspecified; break;
    }

    sptd.DataTransferLength = length;
    sptd.TimeOutValue = platform::CommandTimeoutSeconds(cdb);
    sptd.DataBuffer = dataBuffer;
    sptd.SenseInfoOffset = kSenseInfoOffset;
    std::memset(sptd.Cdb, 0, sizeof sptd.Cdb);
    std::memcpy(sptd.Cdb, cdb, cdbCopied);

    uint32_t systemError = 0;
    const bool carriedOut = drive.Bus->Send(drive.Handle, request, &systemError);

    passThroughStatus.SRB_TargStat = sptd.ScsiStatus;
    std::memcpy(passThroughStatus.SenseArea, request.SenseBuffer, kStatusSenseBytes);
    passThroughStatus.SRB_CDBLen = cdbLength;
    // The whole command block field, so that bytes of an earlier, longer command do not
    // linger past this one.
    std::memcpy(passThroughStatus.CDBByte, sptd.Cdb, sizeof passThroughStatus.CDBByte);

    const uint8_t senseKeyByte = request.SenseBuffer[kSenseKeyByte];
    ScsiResult result;
    if (carriedOut && sptd.ScsiStatus == scsi::kStatusGood) {
        result = kScsiOk;
    } else if (senseKeyByte != 0) {
        result = kScsiTargetError;
    } else if (carriedOut) {
        // The drive answered without sense data. Only CONDITION MET is a success; BUSY,
        // RESERVATION CONFLICT or a CHECK CONDITION whose sense got lost mean the command
        // was not carried out (a chunk answered BUSY never reached the flash), and the
        // status stays in SRB_TargStat for the failure text.
        result = sptd.ScsiStatus == scsi::kStatusConditionMet ? kScsiOk : kScsiTargetError;
    } else {
        // The low three bytes of the system error code, low byte first, for the failure text.
        passThroughStatus.SRB_Status = static_cast<uint8_t>(systemError & 0xFF);
        passThroughStatus.SRB_HaStat = static_cast<uint8_t>((systemError >> 8) & 0xFF);
        passThroughStatus.SRB_TargStat = static_cast<uint8_t>((systemError >> 16) & 0xFF);
        result = kScsiSystemError;
    }

    if (outgoingCopy != nullptr) FreeAligned(outgoingCopy);
    EndDriveCommand(letter, drive, carriedOut);
    return result;
}
