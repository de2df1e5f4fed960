// The configuration and image files, read from the file system.
#pragma once

#include "platform/files.h"

namespace platform::linux_os {

FileSystem& LinuxFiles();

}  // namespace platform::linux_os
