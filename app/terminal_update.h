// The update of one discovered drive from the terminal, and its dry run.
#pragma once

// Runs the checks and the update of DriveTable[SelectedDrive] in the terminal (`dryRun`:
// the checks and the plan, nothing that changes the drive is sent). Questions go through
// the registered message boxes. True on success.
bool RunTerminalUpdate(bool dryRun);
