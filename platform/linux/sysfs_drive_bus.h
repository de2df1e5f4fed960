// The drive bus of a real system: optical drives from sysfs, commands through SG_IO.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/sg_io_request.h"
#include "platform/linux/sysfs_optical_drives.h"
#include "platform/pass_through.h"

namespace platform::linux_os {

class SysfsDriveBus final : public DriveBus {
public:
    // The drives are read from <sysfsRoot>/class/block once, at the first call, and the
    // letters stay the same for the run; device nodes are opened under `deviceDir`.
    SysfsDriveBus(std::string sysfsRoot, std::string deviceDir);

    uint32_t DriveType(char letter) override;
    DriveHandle Open(char letter, bool readWrite) override;
    bool QueryAlignmentMask(DriveHandle handle, uint32_t* mask) override;
    bool Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) override;
    void Close(DriveHandle handle) override;
    NodeAccess DescribeNode(char letter) override;

private:
    // The drive a letter names, or null.
    const OpticalDrive* DriveFor(char letter);

    const std::string sysfsRoot_;
    const std::string deviceDir_;
    std::once_flag scanned_;
    std::vector<OpticalDrive> drives_;
    // What is known of a descriptor this bus opened.
    struct OpenNode {
        bool open = false;
        std::string blockName;        // "srN"
        SgNode kind = SgNode::Other;  // decided once, at the open, not for every command
    };
    // The node a handle names, or null when this bus did not open it; under mutex_. Defined
    // here so that the lookup made for every command is inlined.
    OpenNode* NodeOf(DriveHandle handle) {
        if (handle < 0 || static_cast<size_t>(handle) >= openNodes_.size()) return nullptr;
        OpenNode& node = openNodes_[static_cast<size_t>(handle)];
        return node.open ? &node : nullptr;
    }

    std::mutex mutex_;
    std::vector<OpenNode> openNodes_;  // indexed by descriptor: looked up for every command
};

// The drive bus of the running system: drives from /sys, nodes under /dev. Made on first use.
DriveBus& LinuxDrives();

}  // namespace platform::linux_os
