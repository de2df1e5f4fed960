#include "platform/linux/simulated_drive_bus.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/drive_letters.h"

namespace platform::linux_os {

namespace {

constexpr uint8_t kCheckCondition = 0x02;

sim::Direction DirectionOf(const ScsiPassThroughDirect& sptd) {
    if (sptd.DataTransferLength == 0 || sptd.DataBuffer == nullptr) return sim::Direction::None;
    if (sptd.DataIn == kDataIn) return sim::Direction::In;
    if (sptd.DataIn == kDataOut) return sim::Direction::Out;
    return sim::Direction::None;
}

}  // namespace

SimulatedDriveBus::SimulatedDriveBus(std::vector<std::shared_ptr<sim::Drive>> drives) {
    if (drives.size() > kMaxLetteredDrives) drives.resize(kMaxLetteredDrives);
    for (auto& drive : drives) drives_.push_back({std::move(drive), false});
}

uint32_t SimulatedDriveBus::DriveType(char letter) {
    const int index = DriveIndexForLetter(letter);
    std::lock_guard<std::mutex> lock(mutex_);
    return index >= 0 && static_cast<size_t>(index) < drives_.size() ? kDriveCdrom
                                                                      : kDriveNoRootDir;
}

DriveHandle SimulatedDriveBus::Open(char letter, bool /*readWrite*/) {
    const int index = DriveIndexForLetter(letter);
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= drives_.size()) return kInvalidDrive;
    if (drives_[static_cast<size_t>(index)].vanished) return kInvalidDrive;
    const DriveHandle handle = nextHandle_++;
    openDrives_[handle] = static_cast<size_t>(index);
    return handle;
}

bool SimulatedDriveBus::QueryAlignmentMask(DriveHandle handle, uint32_t* mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (openDrives_.count(handle) == 0) return false;
    *mask = kAlignmentMask;
    return true;
}

bool SimulatedDriveBus::Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) {
    std::shared_ptr<sim::Drive> drive;
    size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto open = openDrives_.find(handle);
        if (open == openDrives_.end()) {
            *systemError = kErrorIoDevice;
            return false;
        }
        index = open->second;
        if (drives_[index].vanished) {
            *systemError = kErrorNotReady;
            return false;
        }
        drive = drives_[index].drive;
    }

    ScsiPassThroughDirect& sptd = block.Sptd;
    std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
    const sim::Direction direction = DirectionOf(sptd);
    const size_t cdbLength = std::min<size_t>(sptd.CdbLength, sizeof sptd.Cdb);
    const sim::Response response =
        drive->Execute(sptd.Cdb, cdbLength, direction, static_cast<uint8_t*>(sptd.DataBuffer),
                       direction == sim::Direction::None ? 0 : sptd.DataTransferLength);

    switch (response.outcome) {
    case sim::Response::Outcome::Completed:
        sptd.ScsiStatus = response.status;
        // Like the kernel, deliver sense data only with CHECK CONDITION.
        if (response.status == kCheckCondition)
            std::memcpy(block.SenseBuffer, response.sense, sizeof response.sense);
        return true;
    case sim::Response::Outcome::TimedOut:
        sptd.ScsiStatus = 0;
        *systemError = kErrorSemTimeout;
        return false;
    case sim::Response::Outcome::Vanished:
        break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drives_[index].vanished = true;
    }
    sptd.ScsiStatus = 0;
    *systemError = kErrorNotReady;
    return false;
}

void SimulatedDriveBus::Close(DriveHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    openDrives_.erase(handle);
}

}  // namespace platform::linux_os
