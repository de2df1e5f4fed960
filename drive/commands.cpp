#include "drive/commands.h"

#include "config/update_config.h"
#include "platform/scsi_codes.h"
#include "scsi/exec_scsi_command.h"

namespace {

using scsi::kCdbSize;

// ATAPI devices take every command as a 12-byte packet.
uint8_t StandardLength(const DriveEntry& entry, uint8_t naturalLength) {
    return entry.Atapi != 0 ? kCdbSize : naturalLength;
}

void PutBigEndian24(uint8_t* field, uint32_t value) {
    field[0] = static_cast<uint8_t>(value >> 16);
    field[1] = static_cast<uint8_t>(value >> 8);
    field[2] = static_cast<uint8_t>(value);
}

void PutBigEndian32(uint8_t* field, uint32_t value) {
    field[0] = static_cast<uint8_t>(value >> 24);
    PutBigEndian24(field + 1, value);
}

void PutBigEndian16(uint8_t* field, uint16_t value) {
    field[0] = static_cast<uint8_t>(value >> 8);
    field[1] = static_cast<uint8_t>(value);
}

// WRITE BUFFER and READ BUFFER share one block layout.
void FillBufferCdb(uint8_t* cdb, uint8_t opcode, uint8_t mode, uint8_t bufferId,
                   uint32_t bufferOffset, uint32_t length) {
    cdb[0] = opcode;
    cdb[1] = mode;
    cdb[2] = bufferId;
    PutBigEndian24(cdb + 3, bufferOffset);
    PutBigEndian24(cdb + 6, length);
}

// The transport never writes outgoing data; it sends an aligned copy.
uint8_t* OutgoingData(const uint8_t* data) { return const_cast<uint8_t*>(data); }

}  // namespace

ScsiResult Inquiry(const DriveEntry& entry, uint8_t* buffer, uint32_t allocationLength) {
    // The CDB field is one byte; the transfer asks for exactly what the drive is told.
    const auto length = static_cast<uint8_t>(allocationLength);
    uint8_t cdb[kCdbSize] = {};
    cdb[0] = Config.MelcoInquiry == 1 ? scsi::kOpMelcoInquiry : scsi::kOpInquiry;
    cdb[4] = length;
    return ExecScsiCommand(entry, buffer, length, cdb, StandardLength(entry, 6), kDirIn);
}

ScsiResult TestUnitReady(const DriveEntry& entry) {
    uint8_t cdb[kCdbSize] = {};
    return ExecScsiCommand(entry, nullptr, 0, cdb, StandardLength(entry, 6), kDirNone);
}

ScsiResult WriteBuffer(const DriveEntry& entry, const uint8_t* data, uint32_t length,
                       uint32_t bufferOffset, uint8_t mode, uint8_t bufferId) {
    uint8_t cdb[kCdbSize] = {};
    FillBufferCdb(cdb, scsi::kOpWriteBuffer, mode, bufferId, bufferOffset, length);
    // Length 0 without data is still a data-out command: the drive expects the direction.
    return ExecScsiCommand(entry, OutgoingData(data), length, cdb, StandardLength(entry, 10),
                           kDirOut);
}

ScsiResult ReadBuffer(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                      uint32_t bufferOffset, uint8_t mode, uint8_t bufferId) {
    uint8_t cdb[kCdbSize] = {};
    FillBufferCdb(cdb, scsi::kOpReadBuffer, mode, bufferId, bufferOffset, length);
    return ExecScsiCommand(entry, buffer, length, cdb, StandardLength(entry, 10), kDirIn);
}

ScsiResult StartStopUnit(const DriveEntry& entry, uint8_t loadEjectStart, uint8_t immediate) {
    uint8_t cdb[kCdbSize] = {};
    cdb[0] = scsi::kOpStartStopUnit;
    cdb[1] = immediate & 1;
    cdb[4] = loadEjectStart & 3;
    return ExecScsiCommand(entry, nullptr, 0, cdb, StandardLength(entry, 6), kDirNone);
}

ScsiResult ReadBoardInfo(const DriveEntry& entry, uint8_t* buffer, uint16_t length,
                         uint32_t address) {
    uint8_t cdb[kCdbSize] = {};
    cdb[0] = scsi::kOpReadBoardInfo;
    PutBigEndian32(cdb + 4, address);
    PutBigEndian16(cdb + 8, length);
    return ExecScsiCommand(entry, buffer, length, cdb, kCdbSize, kDirIn);
}

ScsiResult WriteVendorData(const DriveEntry& entry, const uint8_t* data, uint16_t length,
                           uint32_t address) {
    uint8_t cdb[kCdbSize] = {};
    cdb[0] = scsi::kOpWriteVendorData;
    PutBigEndian32(cdb + 2, address);
    PutBigEndian16(cdb + 8, length);
    return ExecScsiCommand(entry, OutgoingData(data), length, cdb, kCdbSize, kDirOut);
}
