// The checks made on the GUI thread before the update of the selected drive starts: the
// board version, the firmware versions (with a question to the user), and the revision
// fix-up of one drive model. Shows its own message boxes.
#pragma once

// True when the update may start.
bool CheckBeforeUpdate();
