// Program-wide state for the dialog tests: the configuration and drive table as start-up
// leaves them, reset before every test.
#pragma once

#include <cstring>
#include <string>

#include "config/program_values.h"
#include "config/update_config.h"
#include "scsi/drive_entry.h"
#include "update/worker_state.h"

inline void ResetProgramState(uint32_t lcid) {
    std::memset(&Config, 0, sizeof Config);
    std::memset(DriveTable, 0, sizeof DriveTable);
    Config.BufferSize = kDefaultBufferSize;
    Config.WaitSeconds = kDefaultWaitSeconds;
    Config.OsKind = 2;
    Lcid = lcid;
    DriveCount = 0;
    SelectedDrive = 0;
    ChunkCounter = 0;
    WorkerState = 0;
}

template <size_t N>
void SetField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}
