// Deciding whether the drive in a working entry is one this package can update.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"

// Formats the entry's display text from its INQUIRY data (40 bytes).
using DisplayFormatter = void (*)(DriveEntry& entry, const uint8_t* inquiry);

// Wakes the drive, reads its INQUIRY data until two reads agree, and accepts it when it is a
// CD/DVD device whose identity matches the configured list. On acceptance fills the
// entry's display text, revision and ATAPI flag and returns true.
bool IdentifyCandidate(DriveEntry& entry, DisplayFormatter formatDisplayText);

// Rounds of paired INQUIRY reads before a drive whose answers never agree is given up.
constexpr int kInquiryAgreementRounds = 10;
