// Optical drives by drive letter and the SCSI pass-through request sent to them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Drive types as the drive-letter map reports them.
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveCdrom = 5;

// Data direction of a pass-through request.
constexpr uint8_t kDataOut = 0;
constexpr uint8_t kDataIn = 1;
constexpr uint8_t kDataUnspecified = 2;

// The pass-through request record. Field order and meaning follow the NT direct
// pass-through request; the data pointer has its natural size, so the sense buffer is
// reached through the block below rather than through SenseInfoOffset.
struct ScsiPassThroughDirect {
    uint16_t Length;
    uint8_t ScsiStatus;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t CdbLength;
    uint8_t SenseInfoLength;
    uint8_t DataIn;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;  // seconds
    void* DataBuffer;
    uint32_t SenseInfoOffset;
    uint8_t Cdb[16];
};

// The request with its sense buffer, passed to the system as input and output.
struct PassThroughBlock {
    ScsiPassThroughDirect Sptd;
    uint32_t Filler;
    uint8_t SenseBuffer[32];
};

// Handle of an opened drive; kInvalidDrive when opening failed.
using DriveHandle = int;
constexpr DriveHandle kInvalidDrive = -1;

// System error codes reported for a failed request; the numbers keep their Win32 meaning
// so that the failure text "System error (Win32): Code %d" reads the same everywhere.
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorIoDevice = 1117;

// The device node behind a drive letter and whether this process may open it; used to tell
// the user why a drive cannot be reached, never to decide anything.
struct NodeAccess {
    std::string Path;          // "/dev/sg1"; empty when the bus has no node for the letter
    std::string Group;         // the group that owns the node; empty when unknown
    bool GenericNode = false;  // a SCSI generic node (false: the block node, no sg module)
    int ReadError = 0;         // errno of opening the node for reading, 0 when it opens
    int WriteError = 0;        // the same for reading and writing
};

class DriveBus {
public:
    virtual ~DriveBus() = default;
    // kDriveCdrom for a letter that names an optical drive, kDriveNoRootDir otherwise.
    virtual uint32_t DriveType(char letter) = 0;
    // Opens the drive for reading and writing, or for reading alone.
    virtual DriveHandle Open(char letter, bool readWrite) = 0;
    // The adapter's buffer alignment mask; false when it cannot be queried.
    virtual bool QueryAlignmentMask(DriveHandle handle, uint32_t* mask) = 0;
    // Carries the request out synchronously. True when it was carried out: ScsiStatus,
    // the sense buffer and the data are then filled. False when the request failed, with
    // the system error code in *systemError; the sense buffer may still hold sense data.
    virtual bool Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) = 0;
    virtual void Close(DriveHandle handle) = 0;
    // The node of a letter's drive and this process's access to it.
    virtual NodeAccess DescribeNode(char /*letter*/) { return {}; }
};

}  // namespace platform
