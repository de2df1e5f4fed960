#include "sim/drive_state.h"

namespace sim {

DriveState::DriveState(const DriveDescription& drive)
    : description(drive),
      revision(drive.revision),
      trayOpen(drive.medium == Medium::Open),
      discPresent(drive.medium == Medium::Loaded),
      secondaryVersion(drive.secondaryVersion) {}

}  // namespace sim
