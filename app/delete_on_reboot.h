// Deletion of the temporary restart copy when the system next starts.
#pragma once

#include <string>

// Marks `fullPath` for deletion when the system next starts: through the platform on the NT
// family, through WININIT.INI in the Windows folder on the 9x family. Reports nothing.
void ScheduleDeleteOnReboot(const std::string& fullPath);
