// The texts the drive list shows for a drive, built from its INQUIRY data.
#pragma once

#include <cstdint>

#include "scsi/drive_entry.h"

// "(a,t) <identity> <revision>" for a drive found on an ASPI host adapter.
void FormatAspiDisplayText(DriveEntry& entry, const uint8_t* inquiry);
// "D:\ [<identity> <revision>]" for a drive found by its drive letter.
void FormatLetterDisplayText(DriveEntry& entry, const uint8_t* inquiry);
