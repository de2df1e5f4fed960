#include "platform/platform.h"

#include "platform/linux/linux_platform.h"

namespace platform {

Services& Platform() {
    static Services services = linux_os::LinuxServices();
    return services;
}

ScopedServices::ScopedServices(const Services& replacement) : saved_(Platform()) {
    Platform() = replacement;
}

ScopedServices::~ScopedServices() { Platform() = saved_; }

}  // namespace platform
