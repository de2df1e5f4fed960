#include "platform/linux/sysfs_optical_drives.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform::linux_os {

namespace {

namespace fs = std::filesystem;

// The number N of a name "srN"; false for any other name.
bool OpticalIndex(const std::string& name, unsigned long* index) {
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0) return false;
    if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *index = std::strtoul(name.c_str() + 2, nullptr, 10);
    return true;
}

bool IsGenericName(const std::string& name) {
    unsigned long ignored;
    return name.size() > 2 && name.compare(0, 2, "sg") == 0 &&
           OpticalIndex("sr" + name.substr(2), &ignored);
}

// The SCSI generic node beside a block device: device/scsi_generic/sgM, or on old kernels
// a link named device/scsi_generic:sgM. Empty when the sg driver provides none.
std::string GenericNodeName(const fs::path& blockDir) {
    std::error_code error;
    const fs::path device = blockDir / "device";
    for (const auto& entry : fs::directory_iterator(device / "scsi_generic", error)) {
        const std::string name = entry.path().filename().string();
        if (IsGenericName(name)) return name;
    }
    error.clear();
    const std::string oldPrefix = "scsi_generic:";
    for (const auto& entry : fs::directory_iterator(device, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, oldPrefix.size(), oldPrefix) == 0 &&
            IsGenericName(name.substr(oldPrefix.size())))
            return name.substr(oldPrefix.size());
    }
    return {};
}

}  // namespace

std::vector<OpticalDrive> FindOpticalDrives(const std::string& sysfsRoot,
                                            const std::string& deviceDir) {
    const fs::path blockClass = fs::path(sysfsRoot) / "class" / "block";
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(blockClass, error)) {
        const std::string name = entry.path().filename().string();
        unsigned long index;
        if (OpticalIndex(name, &index)) found.emplace_back(index, name);
    }
    std::sort(found.begin(), found.end());

    std::vector<OpticalDrive> drives;
    for (const auto& [index, name] : found) {
        const std::string generic = GenericNodeName(blockClass / name);
        const std::string node = generic.empty() ? name : generic;
        drives.push_back({name, (fs::path(deviceDir) / node).string()});
    }
    return drives;
}

bool ReadDmaAlignment(const std::string& sysfsRoot, const std::string& blockName, uint32_t* mask) {
    std::ifstream file(fs::path(sysfsRoot) / "class" / "block" / blockName / "queue" /
                       "dma_alignment");
    std::string text;
    if (!(file >> text) || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value > UINT32_MAX) return false;
    *mask = static_cast<uint32_t>(value);
    return true;
}

}  // namespace platform::linux_os
