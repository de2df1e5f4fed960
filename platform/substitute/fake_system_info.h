// Machine and executable facts for tests, set by the test.
#pragma once

#include "platform/system_info.h"

namespace platform::substitute {

class FakeSystemInfo final : public SystemInfo {
public:
    OsVersion Version{kPlatformWin32Nt, 10};
    uint32_t Lcid = 1033;
    std::string ExePath = "/opt/zvfirm/zvfirm";
    std::string Temp = "/tmp/";
    // Empty: the executable's bytes are read from ExePath.
    std::string Image;
    std::string Windows;

    OsVersion QueryOsVersion() override { return Version; }
    uint32_t UserDefaultLcid() override { return Lcid; }
    std::string ExecutablePath() override { return ExePath; }
    std::string TempFolder() override { return Temp; }
    std::string ExecutableImage() override { return Image.empty() ? ExePath : Image; }
    std::string WindowsFolder() override { return Windows; }
};

}  // namespace platform::substitute
