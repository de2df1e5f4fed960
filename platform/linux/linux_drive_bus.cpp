#include "platform/linux/linux_platform.h"

namespace platform::linux_os {

namespace {

// Placeholder until the sysfs drive-letter map and SG_IO land: no drive letters at all.
class NoDrives final : public DriveBus {
public:
    uint32_t DriveType(char) override { return kDriveNoRootDir; }
    DriveHandle Open(char, bool) override { return kInvalidDrive; }
    bool QueryAlignmentMask(DriveHandle, uint32_t*) override { return false; }
    bool Send(DriveHandle, PassThroughBlock&, uint32_t* systemError) override {
        *systemError = kErrorIoDevice;
        return false;
    }
    void Close(DriveHandle) override {}
};

}  // namespace

DriveBus& LinuxDrives() {
    static NoDrives drives;
    return drives;
}

}  // namespace platform::linux_os
