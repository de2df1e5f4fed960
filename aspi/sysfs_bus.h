// The system's SCSI devices as an ASPI bus: every SCSI generic node (/dev/sgN) is one
// target; every (host, channel) pair that has one is one host adapter, numbered from 0 in
// ascending numeric order of host, then channel. The tree is read once, when the bus is
// made, so adapter numbers stay the same for the run.
#pragma once

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

private:
    struct Device {
        int adapter;
        int target;
        int lun;
        uint8_t type;
        std::string node;  // the sg node's path
    };
    struct HostChannel {
        unsigned host;
        unsigned channel;
        AdapterInfo info;
    };

    const Device* Find(int adapter, int target, int lun) const;

    std::vector<HostChannel> adapters_;
    std::vector<Device> devices_;
};

}  // namespace aspi
