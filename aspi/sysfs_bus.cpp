#include "aspi/sysfs_bus.h"

#include <fcntl.h>
#include <sys/ioctl.h>
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

SysfsBus::OpenNode::~OpenNode() {
    if (descriptor >= 0) close(descriptor);
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

std::shared_ptr<SysfsBus::OpenNode> SysfsBus::Opened(const Device& device, int* error) {
    std::lock_guard<std::mutex> lock(device.slot->mutex);
    if (device.slot->node != nullptr) return device.slot->node;
    auto node = std::make_shared<OpenNode>();
    // Read-write access lets every command through; read access alone still serves the
    // commands the kernel deems harmless (INQUIRY, TEST UNIT READY).
    node->descriptor = open(device.node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    node->generic = node->descriptor >= 0;
    if (node->descriptor < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        node->descriptor = open(device.node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node->descriptor < 0) {
        *error = errno;
        return nullptr;
    }
    if (node->generic) {
        // Each collection takes the answer of its own command, however many are in flight.
        int force = 1;
        node->generic = ioctl(node->descriptor, SG_SET_FORCE_PACK_ID, &force) == 0 &&
                        platform::linux_os::SgNodeOf(node->descriptor) ==
                            platform::linux_os::SgNode::GenericWritable;
    }
    device.slot->node = node;
    return node;
}

void SysfsBus::Drop(NodeSlot& slot, const std::shared_ptr<OpenNode>& node) {
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.node == node) slot.node = nullptr;
}

// One command on a device's node. On a node opened for writing it is handed to the kernel
// when it is made and its answer read when it is collected; on a read-only node it is sent
// whole (through SG_IO) when it is collected.
class SysfsBus::CommandInFlight final : public StartedCommand {
public:
    // A command that never reached the device: `error` is its outcome.
    explicit CommandInFlight(int error) { outcome_.error = error; }

    CommandInFlight(NodeSlot& slot, std::shared_ptr<OpenNode> node,
                    const platform::linux_os::SgCommand& command)
        : slot_(&slot), node_(std::move(node)), command_(command), finished_(false) {
        command_.sense = sense_;
        command_.senseRoom = sizeof sense_;
        if (!node_->generic) {
            // Sent whole when collected, perhaps after the caller's buffer is gone.
            if (command_.direction == SG_DXFER_TO_DEV && command_.length > 0) {
                const uint8_t* data = static_cast<const uint8_t*>(command_.data);
                outgoing_.assign(data, data + command_.length);
                command_.data = outgoing_.data();
            }
            return;
        }
        const int error = platform::linux_os::StartSgIo(node_->descriptor, command_, header_);
        if (error != 0)
            Finish(platform::linux_os::ReadSgIoHeader(error, header_));
        else
            handedOver_ = true;
    }

    ~CommandInFlight() override {
        // Never collected (the request could not be queued): what the kernel still holds
        // for this node is left to it, and the device gets a new node.
        if (handedOver_) Drop(*slot_, node_);
    }

    bool TryCollect(DeviceOutcome* outcome) override {
        if (handedOver_) {
            platform::linux_os::SgOutcome answer;
            if (!platform::linux_os::TryCollectSgIo(node_->descriptor, header_, &answer))
                return false;
            Finish(answer);
        }
        if (!finished_) return false;  // a read-only node: sent whole when collected
        *outcome = outcome_;
        return true;
    }

    DeviceOutcome Collect() override {
        if (handedOver_)
            Finish(platform::linux_os::CollectSgIo(node_->descriptor, header_));
        else if (!finished_)
            Finish(platform::linux_os::SendSgIoTo(node_->descriptor,
                                                  platform::linux_os::SgNode::Other, command_));
        return outcome_;
    }

private:
    void Finish(const platform::linux_os::SgOutcome& answer) {
        handedOver_ = false;
        finished_ = true;
        outcome_.error = answer.error;
        if (answer.error != 0) {
            Drop(*slot_, node_);
            return;
        }
        outcome_.scsiStatus = answer.scsiStatus;
        outcome_.hostStatus = answer.hostStatus;
        outcome_.driverStatus = answer.driverStatus;
        outcome_.transferred = answer.transferred;
        outcome_.sense.assign(sense_, sense_ + answer.senseLength);
    }

    NodeSlot* slot_ = nullptr;
    std::shared_ptr<OpenNode> node_;
    platform::linux_os::SgCommand command_;
    sg_io_hdr_t header_{};
    uint8_t sense_[32] = {};
    std::vector<uint8_t> outgoing_;  // a read-only node's own copy of the outgoing data
    bool handedOver_ = false;        // the kernel has the command; its answer is not read yet
    bool finished_ = true;           // outcome_ holds the outcome
    DeviceOutcome outcome_;
};

std::unique_ptr<StartedCommand> SysfsBus::Start(int adapter, int target, int lun,
                                                const uint8_t* cdb, uint8_t cdbLength,
                                                DataDirection direction, uint8_t* data,
                                                uint32_t length) {
    const Device* device = Find(adapter, target, lun);
    if (device == nullptr) return std::make_unique<CommandInFlight>(ENODEV);
    int error = 0;
    std::shared_ptr<OpenNode> node = Opened(*device, &error);
    if (node == nullptr) return std::make_unique<CommandInFlight>(error);

    platform::linux_os::SgCommand command;
    command.cdb = cdb;
    command.cdbLength = cdbLength;
    command.direction = direction == DataDirection::In    ? SG_DXFER_FROM_DEV
                        : direction == DataDirection::Out ? SG_DXFER_TO_DEV
                                                          : SG_DXFER_NONE;
    command.data = data;
    command.length = direction == DataDirection::None ? 0 : length;
    command.timeoutSeconds = platform::CommandTimeoutSeconds(cdb);
    command.packId = nextPackId_.fetch_add(1, std::memory_order_relaxed) & 0x7FFFFFFF;
    return std::make_unique<CommandInFlight>(*device->slot, std::move(node), command);
}

DeviceOutcome SysfsBus::Execute(int adapter, int target, int lun, const uint8_t* cdb,
                                uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                uint32_t length) {
    return Start(adapter, target, lun, cdb, cdbLength, direction, data, length)->Collect();
}

}  // namespace aspi
