#include "platform/linux/logind_power.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include "platform/linux/linux_platform.h"

namespace platform::linux_os {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// Everything a flash may not be interrupted by: the machine going to sleep or down, and the
// keys and the lid that would start that without asking.
constexpr const char* kInhibitWhat =
    "sleep:shutdown:idle:handle-lid-switch:handle-suspend-key:handle-hibernate-key";
constexpr const char* kInhibitWho = "zvfirm";

// polkit may show a password dialog before logind answers a reboot request; the bus's
// default of 25 s would give up while the user is still typing.
constexpr uint64_t kRebootTimeoutUs = 300ull * 1000 * 1000;

// A connection to the system bus for one request.
class SystemBus {
public:
    SystemBus() { opened_ = sd_bus_open_system(&bus_); }
    ~SystemBus() { sd_bus_flush_close_unref(bus_); }
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    // Negative errno when the bus cannot be reached.
    int Opened() const { return opened_; }
    sd_bus* Get() const { return bus_; }

private:
    sd_bus* bus_ = nullptr;
    int opened_ = 0;
};

// The error of a failed call, freed on every way out.
struct CallError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~CallError() { sd_bus_error_free(&error); }
};

struct Reply {
    sd_bus_message* message = nullptr;
    ~Reply() { sd_bus_message_unref(message); }
};

void ReportFailure(const char* what, int result, const sd_bus_error* error) {
    if (error != nullptr && sd_bus_error_is_set(error))
        std::fprintf(stderr, "zvfirm: logind %s failed: %s (%s)\n", what,
                     error->message != nullptr ? error->message : "", error->name);
    else
        std::fprintf(stderr, "zvfirm: logind %s failed: %s\n", what, std::strerror(-result));
}

class InhibitorLock final : public PowerHold {
public:
    explicit InhibitorLock(int fd) : fd_(fd) {}
    // Closing the last descriptor of the lock releases it.
    ~InhibitorLock() override { close(fd_); }
    InhibitorLock(const InhibitorLock&) = delete;
    InhibitorLock& operator=(const InhibitorLock&) = delete;

private:
    int fd_;
};

}  // namespace

bool LogindPower::CanReboot() {
    SystemBus bus;
    if (bus.Opened() < 0) {
        ReportFailure("CanReboot", bus.Opened(), nullptr);
        return false;
    }
    CallError error;
    Reply reply;
    int result = sd_bus_call_method(bus.Get(), kLogind, kLogindPath, kManager, "CanReboot",
                                    &error.error, &reply.message, "");
    const char* answer = nullptr;
    if (result >= 0) result = sd_bus_message_read(reply.message, "s", &answer);
    if (result < 0) {
        ReportFailure("CanReboot", result, &error.error);
        return false;
    }
    if (std::strcmp(answer, "yes") == 0 || std::strcmp(answer, "challenge") == 0) return true;
    std::fprintf(stderr, "zvfirm: logind says this user may not reboot (CanReboot: %s)\n", answer);
    return false;
}

bool LogindPower::Reboot() {
    SystemBus bus;
    if (bus.Opened() < 0) {
        ReportFailure("Reboot", bus.Opened(), nullptr);
        return false;
    }
    sd_bus_message* request = nullptr;
    int result = sd_bus_message_new_method_call(bus.Get(), &request, kLogind, kLogindPath, kManager,
                                                "Reboot");
    if (result >= 0) result = sd_bus_message_append(request, "b", 1);  // interactive
    if (result >= 0) result = sd_bus_message_set_allow_interactive_authorization(request, 1);
    CallError error;
    Reply reply;
    if (result >= 0)
        result = sd_bus_call(bus.Get(), request, kRebootTimeoutUs, &error.error, &reply.message);
    sd_bus_message_unref(request);
    if (result < 0) {
        ReportFailure("Reboot", result, &error.error);
        return false;
    }
    return true;
}

std::unique_ptr<PowerHold> LogindPower::HoldSleepAndShutdown(const std::string& why) {
    SystemBus bus;
    if (bus.Opened() < 0) {
        ReportFailure("Inhibit", bus.Opened(), nullptr);
        return nullptr;
    }
    CallError error;
    Reply reply;
    int result =
        sd_bus_call_method(bus.Get(), kLogind, kLogindPath, kManager, "Inhibit", &error.error,
                           &reply.message, "ssss", kInhibitWhat, kInhibitWho, why.c_str(), "block");
    int fd = -1;
    if (result >= 0) result = sd_bus_message_read(reply.message, "h", &fd);
    if (result < 0) {
        ReportFailure("Inhibit", result, &error.error);
        return nullptr;
    }
    // The descriptor belongs to the reply, which is freed on return: keep a copy of it,
    // never inherited by a program started later.
    const int held = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (held < 0) {
        ReportFailure("Inhibit", -errno, nullptr);
        return nullptr;
    }
    return std::make_unique<InhibitorLock>(held);
}

Power& LinuxPower() {
    static LogindPower power;
    return power;
}

}  // namespace platform::linux_os
