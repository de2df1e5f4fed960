#include "aspi/simulated_bus.h"

#include <algorithm>
#include <cerrno>

#include "platform/linux/sg_status.h"
#include "platform/scsi_codes.h"

namespace aspi {

SimulatedBus::SimulatedBus(std::vector<std::shared_ptr<sim::Drive>> drives)
    : drives_(std::move(drives)) {
    // A request record names targets with one byte.
    if (drives_.size() > 255) drives_.resize(255);
}

int SimulatedBus::AdapterCount() const { return drives_.empty() ? 0 : 1; }

bool SimulatedBus::Adapter(int adapter, AdapterInfo* info) const {
    if (adapter != 0 || drives_.empty()) return false;
    info->identifier = "zvfirm-sim";
    info->maxTargets = static_cast<uint8_t>(std::max<size_t>(8, drives_.size()));
    info->alignMask = 0;
    return true;
}

std::shared_ptr<sim::Drive> SimulatedBus::DriveAt(int adapter, int target, int lun) const {
    if (adapter != 0 || lun != 0 || target < 0 || target >= static_cast<int>(drives_.size()))
        return nullptr;
    return drives_[target];
}

bool SimulatedBus::HasDevice(int adapter, int target, int lun) const {
    return DriveAt(adapter, target, lun) != nullptr;
}

bool SimulatedBus::DeviceType(int adapter, int target, int lun, uint8_t* type) const {
    const std::shared_ptr<sim::Drive> drive = DriveAt(adapter, target, lun);
    if (drive == nullptr) return false;
    // Asked the way a host learns it while scanning the bus: byte 0 of the INQUIRY data.
    const uint8_t inquiry[6] = {scsi::kOpInquiry, 0, 0, 0, 36, 0};
    uint8_t answer[36] = {};
    const sim::Response response =
        drive->Execute(inquiry, sizeof inquiry, sim::Direction::In, answer, sizeof answer);
    if (response.outcome != sim::Response::Outcome::Completed ||
        response.status != scsi::kStatusGood || response.transferred == 0)
        return false;
    constexpr uint8_t kNotConnected = 0x60;  // peripheral qualifier 3: no device here
    if ((answer[0] & 0xE0) == kNotConnected) return false;
    *type = answer[0] & 0x1F;
    return true;
}

namespace {

DeviceOutcome OutcomeOf(const sim::Response& response, uint32_t dataLength) {
    DeviceOutcome outcome;
    switch (response.outcome) {
    case sim::Response::Outcome::TimedOut:
        outcome.hostStatus = platform::linux_os::sg::kDidTimeOut;
        return outcome;
    case sim::Response::Outcome::Vanished: outcome.error = ENODEV; return outcome;
    case sim::Response::Outcome::Completed: break;
    }
    outcome.scsiStatus = response.status;
    outcome.transferred = std::min(response.transferred, dataLength);
    if (response.status == scsi::kStatusCheckCondition)
        outcome.sense.assign(std::begin(response.sense), std::end(response.sense));
    return outcome;
}

class SimulatedCommand final : public StartedCommand {
public:
    SimulatedCommand(sim::LateAnswer answer, DeviceOutcome outcome)
        : answer_(std::move(answer)), outcome_(std::move(outcome)) {}

    bool TryCollect(DeviceOutcome* outcome) override {
        if (answer_.late.count() > 0) return false;
        *outcome = outcome_;
        return true;
    }
    DeviceOutcome Collect() override {
        answer_.Await();
        return outcome_;
    }

private:
    const sim::LateAnswer answer_;
    const DeviceOutcome outcome_;
};

}  // namespace

std::unique_ptr<StartedCommand> SimulatedBus::Start(int adapter, int target, int lun,
                                                    const uint8_t* cdb, uint8_t cdbLength,
                                                    DataDirection direction, uint8_t* data,
                                                    uint32_t length) {
    const std::shared_ptr<sim::Drive> drive = DriveAt(adapter, target, lun);
    if (drive == nullptr) {
        DeviceOutcome gone;
        gone.error = ENODEV;
        return std::make_unique<SimulatedCommand>(sim::LateAnswer{}, std::move(gone));
    }
    const sim::Direction simDirection = direction == DataDirection::In    ? sim::Direction::In
                                        : direction == DataDirection::Out ? sim::Direction::Out
                                                                          : sim::Direction::None;
    const uint32_t dataLength = direction == DataDirection::None ? 0 : length;
    sim::LateAnswer answer =
        drive->Start(cdb, cdbLength, simDirection, dataLength == 0 ? nullptr : data, dataLength);
    DeviceOutcome outcome = OutcomeOf(answer.response, dataLength);
    return std::make_unique<SimulatedCommand>(std::move(answer), std::move(outcome));
}

DeviceOutcome SimulatedBus::Execute(int adapter, int target, int lun, const uint8_t* cdb,
                                    uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                    uint32_t length) {
    return Start(adapter, target, lun, cdb, cdbLength, direction, data, length)->Collect();
}

}  // namespace aspi
