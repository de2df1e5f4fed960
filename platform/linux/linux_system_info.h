// Machine and executable facts of the running Linux system.
#pragma once

#include "platform/system_info.h"

namespace platform::linux_os {

SystemInfo& LinuxSystemInfo();

}  // namespace platform::linux_os
