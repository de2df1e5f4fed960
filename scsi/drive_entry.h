// One candidate drive and the program-wide drive table.
#pragma once

#include <cstdint>

struct DriveEntry {
    uint8_t HaId;          // ASPI host adapter; 0 on pass-through
    uint8_t Target;        // ASPI target id; 0 on pass-through
    uint8_t Lun;           // always 0
    char DriveLetter[3];   // "D" and a zero byte; pass-through only
    char DisplayText[40];  // zero-terminated, at most 39 characters
    char Revision[4];      // INQUIRY bytes 32..35, not zero-terminated
    uint8_t Atapi;         // 1: every command block is sent 12 bytes long
    uint32_t AlignMask;    // ASPI adapter's buffer alignment mask; 0 on pass-through
    uint8_t Updated;       // 1 once this drive was updated successfully
};

constexpr int kDriveTableSize = 100;

// Threads: start-up clears the table, and discovery fills it and DriveCount, on the GUI
// thread before any dialog or worker exists; from then on they are only read, on every
// thread. The exceptions are SelectedDrive and each entry's Updated flag: only the main
// dialog writes them, on the GUI thread, and never while the update worker runs (the
// dialog takes no input then). The worker reads the selected entry; starting the thread
// orders the dialog's writes before those reads.
extern DriveEntry DriveTable[kDriveTableSize];
extern uint8_t DriveCount;      // valid entries in the drive table
extern uint16_t SelectedDrive;  // index of the chosen drive in the drive table
