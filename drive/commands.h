// Every SCSI command the updater sends. Each builds its command block and hands it to the
// transport that UsePassThrough selects; the outcome is left in *CommandStatus.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"
#include "scsi/scsi_result.h"

ScsiResult Inquiry(const DriveEntry& entry, uint8_t* buffer, uint32_t allocationLength);
ScsiResult TestUnitReady(const DriveEntry& entry);
ScsiResult WriteBuffer(const DriveEntry& entry, const uint8_t* data, uint32_t length,
                       uint32_t bufferOffset, uint8_t mode, uint8_t bufferId);
ScsiResult ReadBuffer(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                      uint32_t bufferOffset, uint8_t mode, uint8_t bufferId);
ScsiResult StartStopUnit(const DriveEntry& entry, uint8_t loadEjectStart, uint8_t immediate);
ScsiResult ReadBoardInfo(const DriveEntry& entry, uint8_t* buffer, uint16_t length,
                         uint32_t address);
ScsiResult WriteVendorData(const DriveEntry& entry, const uint8_t* data, uint16_t length,
                           uint32_t address);
