// The pass-through transport's form of ExecScsiCommand (exec_scsi_command.h): the drive is
// opened by its letter (or its node kept for a run is taken, command_run.h) and the
// request goes through the platform's drive bus.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"
#include "scsi/scsi_result.h"

ScsiResult PassThroughExecute(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                              const uint8_t* cdb, uint8_t cdbLength, uint8_t flags);
