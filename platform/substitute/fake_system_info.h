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

    OsVersion QueryOsVersion() override { return Version; }
    uint32_t UserDefaultLcid() override { return Lcid; }
    std::string ExecutablePath() override { return ExePath; }
    std::string TempFolder() override { return Temp; }
};

}  // namespace platform::substitute
