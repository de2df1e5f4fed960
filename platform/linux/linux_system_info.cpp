#include <unistd.h>
#include <climits>
#include <cstdlib>

#include "platform/linux/linux_system_info.h"

namespace platform::linux_os {

namespace {

class LinuxSystem final : public SystemInfo {
public:
    // Linux is reported as the NT family at major version 10: it has the pass-through
    // interface, which is what the OS-family decision is about.
    OsVersion QueryOsVersion() override { return {kPlatformWin32Nt, 10}; }

    uint32_t UserDefaultLcid() override {
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value != nullptr && *value != '\0') return LcidFromLocaleName(value);
        }
        return LcidFromLocaleName("");
    }

    std::string ExecutablePath() override {
        char path[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
        if (length <= 0) return {};
        return std::string(path, static_cast<size_t>(length));
    }

    // The kernel's link to the running program's file: it reads the program that runs, even
    // when the file at ExecutablePath() has been replaced since.
    std::string ExecutableImage() override { return "/proc/self/exe"; }

    // Linux has no Windows folder and no boot-time list in one.
    std::string WindowsFolder() override { return {}; }

    std::string TempFolder() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
        if (folder.back() != '/') folder += '/';
        return folder;
    }
};

}  // namespace

SystemInfo& LinuxSystemInfo() {
    static LinuxSystem system;
    return system;
}

}  // namespace platform::linux_os
