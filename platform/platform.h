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
    MessageBoxes* Messages = nullptr;  // shown by the user interface, or logged
    LibraryLoader* Libraries = nullptr;
    DriveBus* Drives = nullptr;
    Power* PowerManagement = nullptr;  // reboot and sleep/shutdown hold
    BootDeletion* NextBoot = nullptr;  // files deleted when the system next starts
};

// Threads: only the GUI thread writes the record, once where the program starts (and
// tests, around the code they run), never while another thread of the program may use a
// service: the update worker starts after the record is settled, and starting it orders
// the record's writes before the worker's reads. The worker only reads the record. The
// drive bus, events, clock, files, libraries and system facts may be used from the GUI
// thread and from the worker (one drive command at a time); message boxes are shown from
// the GUI thread only, since the worker has no windows.
//
// The services in use. The program's entry chooses them for the run (app/run_services.h);
// until then, and in tests that do not replace them, they are the Linux implementations
// with the system's own drives and no message boxes.
Services& Platform();

// Replaces the services for the lifetime of the object and puts the old ones back after.
// GUI thread only, while no other thread of the program uses the record.
class ScopedServices {
public:
    explicit ScopedServices(const Services& replacement);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services saved_;
};

// Replaces one service for the lifetime of the object and puts the old one back after:
//   platform::ScopedService drives(&platform::Services::Drives, &bus);
// Same threading rule as ScopedServices.
template <typename Service>
class ScopedService {
public:
    ScopedService(Service* Services::*member, Service* replacement)
        : member_(member), saved_(Platform().*member) {
        Platform().*member_ = replacement;
    }
    ~ScopedService() { Platform().*member_ = saved_; }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    Service* Services::*member_;
    Service* saved_;
};

// Lets a substitute's own type name the service it replaces.
template <typename Service, typename Substitute>
ScopedService(Service* Services::*, Substitute*) -> ScopedService<Service>;

}  // namespace platform
