// The ASPI transport's form of ExecScsiCommand (exec_scsi_command.h): one execute request
// to the loaded ASPI manager, waited for on an event.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"
#include "scsi/scsi_result.h"

ScsiResult AspiExecute(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                       const uint8_t* cdb, uint8_t cdbLength, uint8_t flags);
