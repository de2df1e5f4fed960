#include "scsi/exec_scsi_command.h"

#include "scsi/aspi_execute.h"
#include "scsi/pass_through_transport.h"

uint8_t UsePassThrough;

// The transport is fixed for the run; the call is handed on untouched and its result
// returned as it is.
ScsiResult ExecScsiCommand(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                           const uint8_t* cdb, uint8_t cdbLength, uint8_t flags) {
    if (UsePassThrough != 0)
        return PassThroughExecute(entry, buffer, length, cdb, cdbLength, flags);
    return AspiExecute(entry, buffer, length, cdb, cdbLength, flags);
}
