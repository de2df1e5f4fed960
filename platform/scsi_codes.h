// SCSI codes that the drive commands, both transports and the ASPI manager share, named
// once. It sits in platform/ because every layer that builds or carries a command block
// sees this folder. The simulated drive keeps its own list on purpose: a wrong value here
// then shows as a failing test instead of agreeing with itself.
#pragma once

#include <cstdint>

namespace scsi {

// Operation codes.
constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpMelcoInquiry = 0x13;  // the INQUIRY some packages ask for instead
constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpWriteBuffer = 0x3B;
constexpr uint8_t kOpReadBuffer = 0x3C;
constexpr uint8_t kOpWriteVendorData = 0xF0;
constexpr uint8_t kOpReadBoardInfo = 0xF5;

// WRITE BUFFER mode "download microcode and save": the drive programs its flash.
constexpr uint8_t kModeDownloadAndSave = 0x05;

// Every command block the program builds is this long; ATAPI devices take nothing else,
// and no transport reads past it.
constexpr uint8_t kCdbSize = 12;

// SCSI status bytes.
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;
constexpr uint8_t kStatusConditionMet = 0x04;

// Peripheral device type of CD/DVD devices (INQUIRY byte 0, low five bits).
constexpr uint8_t kDeviceTypeCdrom = 0x05;

}  // namespace scsi
