// Stages whose code is not part of this build yet. Each says so plainly and returns the
// value that ends the run without claiming that anything happened. Replace this file
// (and override the dialogs from the user interface) as those parts arrive.
#include <cstdio>

#include "app/program_stages.h"
#include "config/program_values.h"
#include "platform/message_box.h"
#include "scsi/drive_entry.h"

int ProgramStages::RunNoticeDialog() {
    std::fprintf(stderr, "zvfirm: the notice dialog is not built yet; stopping here.\n");
    return platform::kIdCancel;
}

int ProgramStages::RunMainDialog() {
    // The drives the main dialog would offer, so that discovery can be seen to work.
    for (int index = 0; index < DriveCount && index < kDriveTableSize; ++index)
        std::printf("%.40s\n", DriveTable[index].DisplayText);
    std::fflush(stdout);
    std::fprintf(stderr, "zvfirm: the main dialog is not built yet; stopping here.\n");
    return platform::kIdCancel;
}
