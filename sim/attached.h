// Loading the simulated drives that a process attaches in place of real ones.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "sim/sim_drive.h"

namespace sim {

// The drives of the description file at `path` (none for a null or empty path). A file
// that cannot be read or parsed gives no drive and one line on `errors`:
// "zvfirm: simulated drives: <message>".
std::vector<std::shared_ptr<Drive>> LoadAttachedDrives(const char* path, std::ostream& errors);

}  // namespace sim
