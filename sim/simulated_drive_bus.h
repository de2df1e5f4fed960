// Simulated drives as the program's drive bus, in place of the system's: the drives, in
// order, are D:, E:, ... and commands go straight to their models.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/pass_through.h"
#include "sim/sim_drive.h"

namespace sim {

class SimulatedDriveBus final : public platform::DriveBus {
public:
    // The alignment the simulated adapter asks for, so that outgoing copies are aligned.
    static constexpr uint32_t kAlignmentMask = 3;

    explicit SimulatedDriveBus(std::vector<std::shared_ptr<Drive>> drives);

    uint32_t DriveType(char letter) override;
    platform::DriveHandle Open(char letter, bool readWrite) override;
    bool QueryAlignmentMask(platform::DriveHandle handle, uint32_t* mask) override;
    // A time-out fails the request with 121; a drive that has vanished fails it with 21
    // (device not ready) and opens no more.
    bool Send(platform::DriveHandle handle, platform::PassThroughBlock& block,
              uint32_t* systemError) override;
    void Close(platform::DriveHandle handle) override;

private:
    struct Attached {
        std::shared_ptr<Drive> drive;
        bool vanished = false;
    };

    std::mutex mutex_;
    std::vector<Attached> drives_;
    std::map<platform::DriveHandle, size_t> openDrives_;  // handle -> index in drives_
    platform::DriveHandle nextHandle_ = 1;
};

}  // namespace sim
