// A private D-Bus system bus with python-dbusmock's logind on it, for end-to-end tests of
// everything that talks to logind. From StartBus on, DBUS_SYSTEM_BUS_ADDRESS of the test
// process names the private bus, so nothing in the test can reach the machine's own logind
// (and reboot the machine). Both daemons end with the object.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

class MockLogind {
public:
    // True when dbus-daemon and Debian's python3 with dbusmock are installed.
    static bool ToolsPresent();

    explicit MockLogind(std::filesystem::path folder);
    ~MockLogind();
    MockLogind(const MockLogind&) = delete;
    MockLogind& operator=(const MockLogind&) = delete;

    // "DBUS_SYSTEM_BUS_ADDRESS=..." for the environment of programs the test starts.
    std::string AddressVariable() const;

    // Points this process at the private bus and starts it; false when it does not come up.
    bool StartBus();
    // Starts (or restarts) the mock logind with the template's parameters as JSON, and waits
    // until it has its name on the bus.
    bool StartLogind(const std::string& parameters = "{}");
    // Makes logind's Reboot answer with an access-denied error from now on.
    bool RefuseReboot();
    // The mock's log of the calls it received, one "<time> <method> <arguments>" per line.
    std::string CallLog() const;
    // The inhibitor locks logind lists, as dbus-send prints them.
    std::string ListInhibitors();

private:
    // dbus-send --system with these arguments; what it printed, errors included.
    std::string Send(const std::string& arguments);

    std::filesystem::path folder_;
    pid_t bus_ = -1;
    pid_t logind_ = -1;
};

// Starts `argv` with exactly `environment`, in `folder`, standard output and error into
// files there; the child's process id, or -1.
pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment,
                   const std::filesystem::path& folder);
// Waits for `child` to end, killing it after `seconds`; its exit code, or -1.
int WaitForProgram(pid_t child, int seconds);
