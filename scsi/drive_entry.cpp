#include "scsi/drive_entry.h"

DriveEntry DriveTable[kDriveTableSize];
uint8_t DriveCount;
uint16_t SelectedDrive;
