// The simulated drives as an ASPI bus: one host adapter (0) whose targets 0..n-1 are the
// attached drives in the order of their description file, each at LUN 0.
#pragma once

#include <memory>
#include <vector>

#include "aspi/aspi_bus.h"
#include "sim/sim_drive.h"

namespace aspi {

class SimulatedBus final : public Bus {
public:
    explicit SimulatedBus(std::vector<std::shared_ptr<sim::Drive>> drives);

    int AdapterCount() const override;
    bool Adapter(int adapter, AdapterInfo* info) const override;
    bool DeviceType(int adapter, int target, int lun, uint8_t* type) const override;
    bool HasDevice(int adapter, int target, int lun) const override;
    DeviceOutcome Execute(int adapter, int target, int lun, const uint8_t* cdb, uint8_t cdbLength,
                          DataDirection direction, uint8_t* data, uint32_t length) override;
    // The drive carries the command out at once; its answer is there at once too unless the
    // drive answers late, and then collecting it waits that long.
    std::unique_ptr<StartedCommand> Start(int adapter, int target, int lun, const uint8_t* cdb,
                                          uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                          uint32_t length) override;
    bool StartTakesOutgoingData() const override { return true; }

private:
    std::shared_ptr<sim::Drive> DriveAt(int adapter, int target, int lun) const;

    std::vector<std::shared_ptr<sim::Drive>> drives_;
};

}  // namespace aspi
