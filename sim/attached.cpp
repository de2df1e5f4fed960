#include "sim/attached.h"

#include <string>

#include "sim/description.h"

namespace sim {

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

}  // namespace sim
