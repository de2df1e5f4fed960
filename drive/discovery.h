// Finding the attached optical drives whose INQUIRY identity matches the package.
#pragma once

#include <cstdint>

// Fills DriveTable with the matching drives and returns their number (0 to 100).
uint32_t DiscoverDrives();
