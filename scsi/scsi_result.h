// The signed outcome every drive command returns.
#pragma once

#include <cstdint>

using ScsiResult = int;

constexpr ScsiResult kScsiOk = 0;
constexpr ScsiResult kScsiAspiStatusError = 1;  // request ended without SS_COMP
constexpr ScsiResult kScsiAdapterError = 2;     // host adapter error other than over/underrun
constexpr ScsiResult kScsiTargetError = 4;      // target error with a non-zero sense key byte
constexpr ScsiResult kScsiNoSystemObject = -1;  // event or device handle not created; nothing sent
constexpr ScsiResult kScsiNoMemory = -2;        // no memory; nothing sent
constexpr ScsiResult kScsiSystemError = -3;     // pass-through request failed without sense data
constexpr ScsiResult kScsiCompareFailure = -4;  // secondary image read back differs
constexpr ScsiResult kScsiUpdateFailure = -5;   // secondary image update failed

// Direction flags handed to ExecScsiCommand (the bits of SRB_Flags).
constexpr uint8_t kDirIn = 0x08;
constexpr uint8_t kDirOut = 0x10;
constexpr uint8_t kDirNone = 0x40;
