// The process-wide set of simulated drives, chosen by the ZVFIRM_SIMULATE variable.
#include "sim/attached.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "sim/description.h"

namespace sim {

namespace {

constexpr char kVariable[] = "ZVFIRM_SIMULATE";

}  // namespace

std::vector<std::shared_ptr<Drive>> LoadAttachedDrives(const char* path, std::ostream& errors) {
    std::vector<std::shared_ptr<Drive>> drives;
    if (path == nullptr || *path == '\0') {
        return drives;
    }
    std::vector<DriveDescription> descriptions;
    std::string error;
    if (!LoadDescriptionFile(path, descriptions, error)) {
        errors << "zvfirm: simulated drives: " << error << '\n';
        return drives;
    }
    for (const DriveDescription& description : descriptions) {
        drives.push_back(std::make_shared<Drive>(description));
    }
    return drives;
}

bool SimulationRequested() {
    const char* path = std::getenv(kVariable);
    return path != nullptr && *path != '\0';
}

const std::vector<std::shared_ptr<Drive>>& AttachedDrives() {
    // Loaded once, on first use; thread-safe by the rules of function-local statics.
    static const std::vector<std::shared_ptr<Drive>> drives =
        LoadAttachedDrives(std::getenv(kVariable), std::cerr);
    return drives;
}

}  // namespace sim
