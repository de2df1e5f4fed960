// A signal that arrives while a command waits in the kernel: the command must reach the
// drive once, and the caller must get the drive's own outcome.
#pragma once

#include "scsi/drive_entry.h"
#include "tests/qemu/guest_drives.h"

// Makes scsi_debug answer slowly, sends WRITE BUFFER mode 4 through the transport in use
// while a signal arrives at every thread of the process, once with a handler installed
// without SA_RESTART and once with it, and counts the commands the kernel dispatched to
// the device (its iorequest_cnt).
void CheckSignalDuringCommand(const char* part, const DriveEntry& entry, const GuestDrive& drive);
