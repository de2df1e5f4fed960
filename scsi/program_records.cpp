#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"

DriveEntry DriveTable[kDriveTableSize];
uint8_t UsePassThrough;

namespace {
// What readers see before the first command: no outcome at all.
CommandStatusRecord noCommandYet;
}  // namespace

CommandStatusRecord* CommandStatus = &noCommandYet;
