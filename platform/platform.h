// The operating-system services the program relies on, reached through one record so
// that tests can put substitutes in place of the Linux implementations.
#pragma once

#include "platform/boot_deletion.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/library_loader.h"
#include "platform/message_box.h"
#include "platform/pass_through.h"
#include "platform/power.h"
#include "platform/system_info.h"

namespace platform {

struct Services {
    SystemInfo* System = nullptr;
    EventFactory* Events = nullptr;
    Clock* Time = nullptr;
    FileSystem* Files = nullptr;
    MessageBoxes* Messages = nullptr;  // registered by the user interface
    LibraryLoader* Libraries = nullptr;
    DriveBus* Drives = nullptr;
    Power* PowerManagement = nullptr;  // reboot and sleep/shutdown hold
    BootDeletion* NextBoot = nullptr;  // files deleted when the system next starts
};

// The services in use. Initially the Linux implementations (no message boxes until the
// user interface registers them).
Services& Platform();

// Replaces the services for the lifetime of the object and puts the old ones back after.
class ScopedServices {
public:
    explicit ScopedServices(const Services& replacement);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services saved_;
};

}  // namespace platform
