// The system's SCSI devices as an ASPI bus: every SCSI generic node (/dev/sgN) is one
// target; every (host, channel) pair that has one is one host adapter, numbered from 0 in
// ascending numeric order of host, then channel. The tree is read once, when the bus is
// made, so adapter numbers stay the same for the run. A node, once opened, stays open for
// the next command (opening a generic node makes the kernel build and clear a reserve
// buffer, which costs more than most commands) until a request on it fails.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "aspi/aspi_bus.h"

namespace aspi {

class SysfsBus final : public Bus {
public:
    // `sysfsRoot` is normally "/sys" and `deviceRoot` "/dev"; tests point them at a tree
    // of their own.
    SysfsBus(const std::string& sysfsRoot, const std::string& deviceRoot);

    int AdapterCount() const override;
    bool Adapter(int adapter, AdapterInfo* info) const override;
    bool DeviceType(int adapter, int target, int lun, uint8_t* type) const override;
    bool HasDevice(int adapter, int target, int lun) const override;
    DeviceOutcome Execute(int adapter, int target, int lun, const uint8_t* cdb, uint8_t cdbLength,
                          DataDirection direction, uint8_t* data, uint32_t length) override;
    std::unique_ptr<StartedCommand> Start(int adapter, int target, int lun, const uint8_t* cdb,
                                          uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                          uint32_t length) override;
    // write() copies outgoing data into the kernel; a read-only node, whose command is sent
    // whole when it is collected, gets a copy of its own.
    bool StartTakesOutgoingData() const override { return true; }

private:
    // An opened node, shared by the commands in flight on it; closed when the last of them
    // and the device have let it go.
    struct OpenNode {
        int descriptor = -1;
        bool generic = false;  // opened for writing: commands go out with write() and read()
        ~OpenNode();
    };
    // Threads: any thread may start and collect commands; `node` is read and replaced only
    // under `mutex`.
    struct NodeSlot {
        std::mutex mutex;
        std::shared_ptr<OpenNode> node;  // null: not open
    };
    struct Device {
        int adapter;
        int target;
        int lun;
        uint8_t type;
        std::string node;  // the sg node's path
        std::unique_ptr<NodeSlot> slot = std::make_unique<NodeSlot>();
    };
    struct HostChannel {
        unsigned host;
        unsigned channel;
        AdapterInfo info;
    };

    class CommandInFlight;

    const Device* Find(int adapter, int target, int lun) const;
    // The device's node, opened now unless it is open; null with *error set when it does
    // not open.
    static std::shared_ptr<OpenNode> Opened(const Device& device, int* error);
    // After a failed request: the node may be gone (the device was removed or reset), so
    // the next command opens it again.
    static void Drop(NodeSlot& slot, const std::shared_ptr<OpenNode>& node);

    std::vector<HostChannel> adapters_;
    std::vector<Device> devices_;
    std::atomic<int> nextPackId_{0};  // names each command among those in flight on a node
};

}  // namespace aspi
