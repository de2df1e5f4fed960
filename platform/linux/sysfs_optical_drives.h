// The optical drives the kernel knows, read from sysfs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::linux_os {

struct OpticalDrive {
    std::string blockName;   // "sr0"
    std::string devicePath;  // the SCSI generic node "/dev/sg1" when there is one, else "/dev/sr0"
};

// The drives under <sysfsRoot>/class/block named srN, in the order of N (sr2 before
// sr10). Device paths are formed under `deviceDir`.
std::vector<OpticalDrive> FindOpticalDrives(const std::string& sysfsRoot,
                                            const std::string& deviceDir);

// The DMA alignment mask of the drive's block queue; false when it cannot be read.
bool ReadDmaAlignment(const std::string& sysfsRoot, const std::string& blockName, uint32_t* mask);

}  // namespace platform::linux_os
