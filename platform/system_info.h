// What the program needs to know about the machine and the running executable.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Platform identifier values as the program's OS-family decision uses them.
constexpr uint32_t kPlatformWin32Windows = 1;  // the 9x family
constexpr uint32_t kPlatformWin32Nt = 2;       // the NT family

struct OsVersion {
    uint32_t PlatformId = 0;
    uint32_t MajorVersion = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual OsVersion QueryOsVersion() = 0;
    // The user's default locale identifier (1041 for Japanese, 1033 for US English).
    virtual uint32_t UserDefaultLcid() = 0;
    // Full path of the running executable.
    virtual std::string ExecutablePath() = 0;
    // A name under which the running executable's own bytes can be opened for reading, also
    // when its file has been renamed or replaced since the program started.
    virtual std::string ExecutableImage() { return ExecutablePath(); }
    // The Windows folder, where the 9x family keeps its list of files to delete at boot,
    // without a trailing separator; empty when the system has none.
    virtual std::string WindowsFolder() { return {}; }
    // Folder for temporary files, ending in '/'.
    virtual std::string TempFolder() = 0;
};

// The executable's file name without its folder and without its last extension.
std::string ExeNameFromPath(const std::string& path);
// The exe name followed by ".INI".
std::string ProfileNameFromExeName(const std::string& exeName);
// Locale identifier for a POSIX locale name such as "ja_JP.UTF-8" or "en_US";
// 1033 when the name is empty or unknown.
uint32_t LcidFromLocaleName(const std::string& localeName);

}  // namespace platform
