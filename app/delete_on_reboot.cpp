#include "app/delete_on_reboot.h"

#include "app/wininit_rename_list.h"
#include "config/update_config.h"
#include "platform/platform.h"

namespace {

constexpr uint8_t kOsKind9x = 0;

}  // namespace

void ScheduleDeleteOnReboot(const std::string& fullPath) {
    platform::Services& services = platform::Platform();
    if (Config.OsKind == kOsKind9x) {
        // Linux has no short (8.3) names: a path is its own short form.
        AddToWininitRenameList(services.System->WindowsFolder(), fullPath);
        return;
    }
    if (services.NextBoot != nullptr) services.NextBoot->DeleteAtNextBoot(fullPath);
}
