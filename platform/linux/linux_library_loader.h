// Shared libraries loaded with dlopen.
#pragma once

#include "platform/library_loader.h"

namespace platform::linux_os {

LibraryLoader& LinuxLibraries();

}  // namespace platform::linux_os
