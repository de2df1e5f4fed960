#include "platform/linux/sysfs_drive_bus.h"

#include <cerrno>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/drive_letters.h"
#include "platform/linux/sg_io_request.h"

namespace platform::linux_os {

SysfsDriveBus::SysfsDriveBus(std::string sysfsRoot, std::string deviceDir)
    : sysfsRoot_(std::move(sysfsRoot)), deviceDir_(std::move(deviceDir)) {}

const OpticalDrive* SysfsDriveBus::DriveFor(char letter) {
    std::call_once(scanned_, [this] {
        drives_ = FindOpticalDrives(sysfsRoot_, deviceDir_);
        if (drives_.size() > kMaxLetteredDrives) drives_.resize(kMaxLetteredDrives);
    });
    const int index = DriveIndexForLetter(letter);
    if (index < 0 || static_cast<size_t>(index) >= drives_.size()) return nullptr;
    return &drives_[static_cast<size_t>(index)];
}

uint32_t SysfsDriveBus::DriveType(char letter) {
    return DriveFor(letter) != nullptr ? kDriveCdrom : kDriveNoRootDir;
}

DriveHandle SysfsDriveBus::Open(char letter, bool readWrite) {
    const OpticalDrive* drive = DriveFor(letter);
    if (drive == nullptr) return kInvalidDrive;
    // Non-blocking, so that a block node opens without a medium; SG_IO itself still
    // waits for the command to end.
    const int access = readWrite ? O_RDWR : O_RDONLY;
    const int descriptor = open(drive->devicePath.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return kInvalidDrive;
    const SgNode kind = SgNodeOf(descriptor);
    std::lock_guard<std::mutex> lock(mutex_);
    if (static_cast<size_t>(descriptor) >= openNodes_.size()) openNodes_.resize(descriptor + 1);
    openNodes_[descriptor] = {true, drive->blockName, kind};
    return descriptor;
}

bool SysfsDriveBus::QueryAlignmentMask(DriveHandle handle, uint32_t* mask) {
    std::string blockName;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const OpenNode* node = NodeOf(handle);
        if (node == nullptr) return false;
        blockName = node->blockName;
    }
    return ReadDmaAlignment(sysfsRoot_, blockName, mask);
}

bool SysfsDriveBus::Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) {
    SgNode kind;
    {
        // Only descriptors this bus opened reach the kernel.
        std::lock_guard<std::mutex> lock(mutex_);
        const OpenNode* node = NodeOf(handle);
        if (node == nullptr) {
            *systemError = kErrorIoDevice;
            return false;
        }
        kind = node->kind;
    }
    return SendBlock(handle, kind, block, systemError);
}

namespace {

// errno of opening `path` with `access`, 0 when it opens (it is closed again at once).
int OpenError(const std::string& path, int access) {
    const int descriptor = open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return errno;
    close(descriptor);
    return 0;
}

std::string GroupName(gid_t gid) {
    std::string buffer(4096, '\0');
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return {};
    return found->gr_name;
}

}  // namespace

NodeAccess SysfsDriveBus::DescribeNode(char letter) {
    NodeAccess access;
    const OpticalDrive* drive = DriveFor(letter);
    if (drive == nullptr) return access;
    access.Path = drive->devicePath;
    const size_t slash = access.Path.rfind('/');
    access.GenericNode = access.Path.compare(slash + 1, 2, "sg") == 0;
    struct stat status {};
    if (stat(access.Path.c_str(), &status) == 0) access.Group = GroupName(status.st_gid);
    access.ReadError = OpenError(access.Path, O_RDONLY);
    access.WriteError = OpenError(access.Path, O_RDWR);
    return access;
}

void SysfsDriveBus::Close(DriveHandle handle) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        OpenNode* node = NodeOf(handle);
        if (node == nullptr) return;
        *node = OpenNode{};
    }
    close(handle);
}

DriveBus& LinuxDrives() {
    static SysfsDriveBus drives("/sys", "/dev");
    return drives;
}

}  // namespace platform::linux_os
