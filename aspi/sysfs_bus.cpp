#include "aspi/sysfs_bus.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/command_timeout.h"
#include "platform/linux/sg_io_request.h"

namespace aspi {

namespace {

namespace fs = std::filesystem;

struct Address {
    unsigned host, channel, target, lun;
};

// "H:C:T:L", the name the kernel gives a SCSI device's folder.
bool ParseAddress(const std::string& name, Address* address) {
    char tail = 0;
    return std::sscanf(name.c_str(), "%u:%u:%u:%u%c", &address->host, &address->channel,
                       &address->target, &address->lun, &tail) == 4;
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// The device folder's own name, whether `device` is a link (as in sysfs) or a folder.
std::string DeviceFolderName(const fs::path& device) {
    std::error_code error;
    const fs::path target = fs::read_symlink(device, error);
    if (!error) return target.filename().string();
    return fs::weakly_canonical(device, error).filename().string();
}

}  // namespace

SysfsBus::SysfsBus(const std::string& sysfsRoot, const std::string& deviceRoot) {
    struct Found {
        Address address;
        uint8_t type;
        std::string node;
    };
    std::vector<Found> found;
    std::error_code error;
    const fs::path generic = fs::path(sysfsRoot) / "class" / "scsi_generic";
    for (const fs::directory_entry& entry : fs::directory_iterator(generic, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("sg", 0) != 0) continue;
        Address address{};
        if (!ParseAddress(DeviceFolderName(entry.path() / "device"), &address)) continue;
        // Addresses beyond what a request record can name are out of reach.
        if (address.target > 255 || address.lun > 255) continue;
        const std::string typeText = FirstLine(entry.path() / "device" / "type");
        int type = 0;
        if (std::sscanf(typeText.c_str(), "%d", &type) != 1 || type < 0 || type > 0x1F) continue;
        found.push_back({address, static_cast<uint8_t>(type), deviceRoot + "/" + name});
    }

    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.address.host, a.address.channel, a.address.target, a.address.lun) <
               std::tie(b.address.host, b.address.channel, b.address.target, b.address.lun);
    });
    for (const Found& device : found) {
        if (adapters_.empty() || adapters_.back().host != device.address.host ||
            adapters_.back().channel != device.address.channel) {
            HostChannel adapter{device.address.host, device.address.channel, {}};
            adapter.info.identifier =
                FirstLine(fs::path(sysfsRoot) / "class" / "scsi_host" /
                          ("host" + std::to_string(device.address.host)) / "proc_name");
            adapters_.push_back(adapter);
        }
        HostChannel& adapter = adapters_.back();
        if (device.address.target + 1 > adapter.info.maxTargets)
            adapter.info.maxTargets =
                static_cast<uint8_t>(std::min(device.address.target + 1, 255u));
        devices_.push_back({static_cast<int>(adapters_.size() - 1),
                            static_cast<int>(device.address.target),
                            static_cast<int>(device.address.lun), device.type, device.node});
    }
}

int SysfsBus::AdapterCount() const { return static_cast<int>(adapters_.size()); }

bool SysfsBus::Adapter(int adapter, AdapterInfo* info) const {
    if (adapter < 0 || adapter >= AdapterCount()) return false;
    *info = adapters_[adapter].info;
    return true;
}

const SysfsBus::Device* SysfsBus::Find(int adapter, int target, int lun) const {
    for (const Device& device : devices_)
        if (device.adapter == adapter && device.target == target && device.lun == lun)
            return &device;
    return nullptr;
}

bool SysfsBus::DeviceType(int adapter, int target, int lun, uint8_t* type) const {
    const Device* device = Find(adapter, target, lun);
    if (device == nullptr) return false;
    *type = device->type;
    return true;
}

bool SysfsBus::HasDevice(int adapter, int target, int lun) const {
    return Find(adapter, target, lun) != nullptr;
}

DeviceOutcome SysfsBus::Execute(int adapter, int target, int lun, const uint8_t* cdb,
                                uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                uint32_t length) {
    DeviceOutcome outcome;
    const Device* device = Find(adapter, target, lun);
    if (device == nullptr) {
        outcome.error = ENODEV;
        return outcome;
    }
    // Read-write access lets every command through; read access alone still serves the
    // commands the kernel deems harmless (INQUIRY, TEST UNIT READY).
    int fd = open(device->node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd = open(device->node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        outcome.error = errno;
        return outcome;
    }

    uint8_t sense[32] = {};
    platform::linux_os::SgCommand command;
    command.cdb = cdb;
    command.cdbLength = cdbLength;
    command.direction = direction == DataDirection::In    ? SG_DXFER_FROM_DEV
                        : direction == DataDirection::Out ? SG_DXFER_TO_DEV
                                                          : SG_DXFER_NONE;
    command.data = data;
    command.length = direction == DataDirection::None ? 0 : length;
    command.sense = sense;
    command.senseRoom = sizeof sense;
    command.timeoutSeconds = platform::CommandTimeoutSeconds(cdb);
    const platform::linux_os::SgOutcome result = platform::linux_os::SendSgIo(fd, command);
    close(fd);

    outcome.error = result.error;
    if (result.error != 0) return outcome;
    outcome.scsiStatus = result.scsiStatus;
    outcome.hostStatus = result.hostStatus;
    outcome.driverStatus = result.driverStatus;
    outcome.transferred = result.transferred;
    outcome.sense.assign(sense, sense + result.senseLength);
    return outcome;
}

}  // namespace aspi
