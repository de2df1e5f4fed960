#include "sim/simulated_drive_bus.h"

#include <algorithm>
#include <cstring>

#include "platform/drive_letters.h"

namespace sim {

namespace {

constexpr uint8_t kCheckCondition = 0x02;

Direction DirectionOf(const platform::ScsiPassThroughDirect& sptd) {
    if (sptd.DataTransferLength == 0 || sptd.DataBuffer == nullptr) return Direction::None;
    if (sptd.DataIn == platform::kDataIn) return Direction::In;
    if (sptd.DataIn == platform::kDataOut) return Direction::Out;
    return Direction::None;
}

}  // namespace

SimulatedDriveBus::SimulatedDriveBus(std::vector<std::shared_ptr<Drive>> drives) {
    if (drives.size() > platform::kMaxLetteredDrives) drives.resize(platform::kMaxLetteredDrives);
    for (auto& drive : drives) drives_.push_back({std::move(drive), false});
}

uint32_t SimulatedDriveBus::DriveType(char letter) {
    const int index = platform::DriveIndexForLetter(letter);
    std::lock_guard<std::mutex> lock(mutex_);
    const bool attached = index >= 0 && static_cast<size_t>(index) < drives_.size();
    return attached ? platform::kDriveCdrom : platform::kDriveNoRootDir;
}

platform::DriveHandle SimulatedDriveBus::Open(char letter, bool /*readWrite*/) {
    const int index = platform::DriveIndexForLetter(letter);
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= drives_.size()) return platform::kInvalidDrive;
    if (drives_[static_cast<size_t>(index)].vanished) return platform::kInvalidDrive;
    const platform::DriveHandle handle = nextHandle_++;
    openDrives_[handle] = static_cast<size_t>(index);
    return handle;
}

bool SimulatedDriveBus::QueryAlignmentMask(platform::DriveHandle handle, uint32_t* mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (openDrives_.count(handle) == 0) return false;
    *mask = kAlignmentMask;
    return true;
}

bool SimulatedDriveBus::Send(platform::DriveHandle handle, platform::PassThroughBlock& block,
                             uint32_t* systemError) {
    std::shared_ptr<Drive> drive;
    size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto open = openDrives_.find(handle);
        if (open == openDrives_.end()) {
            *systemError = platform::kErrorIoDevice;
            return false;
        }
        index = open->second;
        if (drives_[index].vanished) {
            *systemError = platform::kErrorNotReady;
            return false;
        }
        drive = drives_[index].drive;
    }

    platform::ScsiPassThroughDirect& sptd = block.Sptd;
    std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
    const Direction direction = DirectionOf(sptd);
    const size_t cdbLength = std::min<size_t>(sptd.CdbLength, sizeof sptd.Cdb);
    const Response response =
        drive->Execute(sptd.Cdb, cdbLength, direction, static_cast<uint8_t*>(sptd.DataBuffer),
                       direction == Direction::None ? 0 : sptd.DataTransferLength);

    switch (response.outcome) {
    case Response::Outcome::Completed:
        sptd.ScsiStatus = response.status;
        // Like the kernel, deliver sense data only with CHECK CONDITION.
        if (response.status == kCheckCondition)
            std::memcpy(block.SenseBuffer, response.sense, sizeof response.sense);
        return true;
    case Response::Outcome::TimedOut:
        sptd.ScsiStatus = 0;
        *systemError = platform::kErrorSemTimeout;
        return false;
    case Response::Outcome::Vanished: break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drives_[index].vanished = true;
    }
    sptd.ScsiStatus = 0;
    *systemError = platform::kErrorNotReady;
    return false;
}

void SimulatedDriveBus::Close(platform::DriveHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    openDrives_.erase(handle);
}

}  // namespace sim
