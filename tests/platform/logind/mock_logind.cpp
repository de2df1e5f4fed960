#include "mock_logind.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include "tests/support/whole_file.h"

using test_support::ReadWhole;

namespace fs = std::filesystem;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// Waits up to `seconds` for `ready`.
template <typename Ready>
bool WaitFor(Ready ready, int seconds) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ready();
}

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    return environment;
}

void Stop(pid_t& child) {
    if (child <= 0) return;
    kill(child, SIGTERM);
    if (WaitForProgram(child, 10) == -1) kill(child, SIGKILL);
    child = -1;
}

}  // namespace

pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, const fs::path& folder) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environment;
    std::vector<char*> argp;
    for (std::string& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string name = fs::path(argv[0]).filename().string();
    const std::string out = (folder / (name + ".stdout")).string();
    const std::string err = (folder / (name + ".stderr")).string();

    const pid_t child = fork();
    if (child == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (outFd < 0 || errFd < 0 || chdir(folder.c_str()) != 0) _exit(126);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    return child;
}

int WaitForProgram(pid_t child, int seconds) {
    int status = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MockLogind::ToolsPresent() {
    if (access("/usr/bin/dbus-daemon", X_OK) != 0 || access("/usr/bin/dbus-send", X_OK) != 0 ||
        access(kPython, X_OK) != 0)
        return false;
    return std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") == 0;
}

MockLogind::MockLogind(fs::path folder) : folder_(std::move(folder)) {
    // Before anything else can open a connection to a system bus.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", AddressVariable().substr(24).c_str(), 1);
}

MockLogind::~MockLogind() {
    Stop(logind_);
    Stop(bus_);
}

std::string MockLogind::AddressVariable() const {
    return "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (folder_ / "system_bus_socket").string();
}

bool MockLogind::StartBus() {
    // The session configuration: anyone on it may own any name and call anything.
    bus_ = StartProgram({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                         "--address=unix:path=" + (folder_ / "system_bus_socket").string()},
                        CurrentEnvironment(), folder_);
    if (bus_ < 0) return false;
    return WaitFor(
        [this] { return Send("/ org.freedesktop.DBus.GetId").find("string") != std::string::npos; },
        20);
}

bool MockLogind::StartLogind(const std::string& parameters) {
    Stop(logind_);
    fs::remove(folder_ / "logind.log");
    logind_ = StartProgram({kPython, "-m", "dbusmock", "--template", "logind", "-l",
                            (folder_ / "logind.log").string(), "-p", parameters},
                           CurrentEnvironment(), folder_);
    if (logind_ < 0) return false;
    return WaitFor(
        [this] {
            return Send("/ org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1")
                       .find("boolean true") != std::string::npos;
        },
        30);
}

bool MockLogind::RefuseReboot() {
    const std::string said = Send(
        "--dest=org.freedesktop.login1 /org/freedesktop/login1 org.freedesktop.DBus.Mock.AddMethod "
        "string:org.freedesktop.login1.Manager string:Reboot string:b string: "
        "\"string:raise dbus.exceptions.DBusException('Access denied', "
        "name='org.freedesktop.DBus.Error.AccessDenied')\"");
    return said.find("Error") == std::string::npos;
}

std::string MockLogind::CallLog() const { return ReadWhole(folder_ / "logind.log"); }

std::string MockLogind::ListInhibitors() {
    return Send(
        "--dest=org.freedesktop.login1 /org/freedesktop/login1 "
        "org.freedesktop.login1.Manager.ListInhibitors");
}

std::string MockLogind::Send(const std::string& arguments) {
    std::string command = "/usr/bin/dbus-send --system --print-reply ";
    if (arguments[0] == '/') command += "--dest=org.freedesktop.DBus ";
    command += arguments + " 2>&1";
    std::FILE* run = popen(command.c_str(), "r");
    if (run == nullptr) return "";
    std::string said;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, run) != nullptr) said += buffer;
    pclose(run);
    return said;
}
