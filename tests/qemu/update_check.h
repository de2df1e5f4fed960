// An update of scsi_debug's firmware by the program's own update worker, from the first
// TEST UNIT READY to the published outcome, through the transport in use.
#pragma once

#include <cstdint>

// Runs the worker on the drive at `tableIndex` of the drive table with a one-chunk image
// (mode 5 only) and checks its outcome and what the drive reports afterwards. `part` names
// the transport in the report; `followUp` turns the worker's extra TEST UNIT READY commands
// and its second-pass probe on, so that they meet the drive's unit attentions.
void CheckUpdate(const char* part, uint16_t tableIndex, bool followUp);
