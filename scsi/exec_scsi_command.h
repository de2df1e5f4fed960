// The one operation by which a command block reaches a drive, whichever the transport.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"
#include "scsi/scsi_result.h"

// Selects the transport for the whole run: non-zero pass-through, zero ASPI. Set by
// start-up on the GUI thread before the first command and only read afterwards.
extern uint8_t UsePassThrough;

// Sends `cdb` (12 bytes, bytes past cdbLength zero) to the drive. `buffer` receives data
// in place (flags 0x08) or is sent from an aligned copy and never written (flags 0x10);
// null when length is 0. The outcome is left in *CommandStatus.
ScsiResult ExecScsiCommand(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                           const uint8_t* cdb, uint8_t cdbLength, uint8_t flags);

// Both transports offer the same contract: PassThroughExecute (pass_through_transport.h)
// and AspiExecute (aspi_execute.h).
