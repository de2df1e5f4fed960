// The optical drives of the probe's guest, as scripts/qemu-real-kernel-check.sh builds it,
// and what the kernel says about each of them in sysfs.
//
// The guest holds, in this order of their block nodes:
//   sr0        the kernel's scsi_debug target posing as a CD/DVD drive (ptype=5);
//   sr1, sr2   QEMU ide-cd drives on two AHCI controllers (ATAPI through libata);
//   sr3, sr4   QEMU scsi-cd drives on one virtio-scsi controller (targets 0 and 1).
// Of each QEMU kind, the drive with revision "PT01" is used (and removed) by the
// pass-through part, the one with revision "AS01" by the ASPI part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DriveKind {
    const char* name;        // for the report
    const char* product;     // INQUIRY product identification, 16 characters
    const char* revision;    // INQUIRY revision, 4 characters; nullptr: any
    const char* host;        // proc_name of its SCSI host
    const char* part;        // "pass-through" or "ASPI": the part that uses the drive
    const char* qemuDrive;   // QEMU id of the drive (tray requests); nullptr: not QEMU's
    const char* qemuUnplug;  // QEMU id of what device_del removes to take the drive away
    uint8_t inquiryByte3;    // byte 3 of the INQUIRY data as it reaches the program
};

// What sysfs shows of one optical drive.
struct GuestDrive {
    std::string blockName;  // "sr1"
    unsigned host = 0, channel = 0, target = 0, lun = 0;
    std::string hostName;             // its host's proc_name
    std::string identity;             // vendor, product and revision: 28 characters
    const DriveKind* kind = nullptr;  // nullptr when no kind fits
};

// The optical drives present now, in block-node order, each matched to its kind.
std::vector<GuestDrive> FindGuestDrives();

// The drive whose INQUIRY identity (28 characters from byte 8) is `identity`, or nullptr.
const GuestDrive* DriveWithIdentity(const std::vector<GuestDrive>& drives, const char* identity);

// The number of distinct SCSI hosts among `drives`.
unsigned HostCount(const std::vector<GuestDrive>& drives);

// The kernel's scsi_debug target, the one kind without QEMU behind it.
bool IsDebugTarget(const DriveKind& kind);

// Takes the drive away the way the kernel does when a device leaves: the device's own
// "delete" switch in sysfs. Blocks until the kernel has removed it.
bool DeleteScsiDevice(const GuestDrive& drive);

// Asks the drive's host to scan for it again and waits (up to 15 s) until it is back with a
// generic node; true when it is.
bool RescanScsiDevice(const GuestDrive& drive);

// Runtime fault switches of scsi_debug: with `ignore`, it leaves every command unanswered,
// so the kernel times each out and aborts it.
bool IgnoreDebugCommands(bool ignore);
