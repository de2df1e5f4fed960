#include "app/display_check.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int kFirstXPort = 6000;

// Connects to a Unix socket; `abstractName` puts the name in the abstract namespace.
bool UnixSocketAccepts(const std::string& path, bool abstractName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstractName ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return false;
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                                    path.size() + (abstractName ? 0 : 1));
    const bool connected =
        connect(descriptor, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(descriptor);
    return connected;
}

// Connects to host:port over TCP, giving up after a short while.
bool TcpAccepts(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (addrinfo* at = found; at != nullptr && !connected; at = at->ai_next) {
        const int descriptor =
            socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (descriptor < 0) continue;
        if (connect(descriptor, at->ai_addr, at->ai_addrlen) == 0) {
            connected = true;
        } else if (errno == EINPROGRESS) {
            pollfd waiting{descriptor, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            connected = poll(&waiting, 1, kConnectTimeoutMs) == 1 &&
                        getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                        error == 0;
        }
        close(descriptor);
    }
    freeaddrinfo(found);
    return connected;
}

// DISPLAY is [host]:number[.screen]; an empty host or "unix" is the local socket.
bool XServerAccepts(const char* display) {
    if (display == nullptr || *display == '\0') return false;
    const std::string_view text = display;
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    const std::string host(text.substr(0, colon));
    std::string_view number = text.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos ||
        number.size() > 5)
        return false;
    const int displayNumber = std::stoi(std::string(number));
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::string(number);
        return UnixSocketAccepts(path, true) || UnixSocketAccepts(path, false);
    }
    // A host name of the form "/path/to/socket" (as macOS launchd writes it) is a socket.
    if (host.front() == '/') return UnixSocketAccepts(host + ":" + std::string(number), false);
    return TcpAccepts(host, kFirstXPort + displayNumber);
}

bool WaylandAccepts(const char* display, const char* runtimeDir) {
    if (display == nullptr || *display == '\0') return false;
    std::string path = display;
    if (path.front() != '/') {
        if (runtimeDir == nullptr || *runtimeDir == '\0') return false;
        path = std::string(runtimeDir) + "/" + path;
    }
    return UnixSocketAccepts(path, false);
}

}  // namespace

bool DisplayAvailable(const EnvironmentReader& environment) {
    const char* platform = environment("QT_QPA_PLATFORM");
    const std::string_view chosen = platform != nullptr ? platform : "";
    const bool x = XServerAccepts(environment("DISPLAY"));
    const bool wayland =
        chosen.substr(0, 3) != "xcb" &&
        WaylandAccepts(environment("WAYLAND_DISPLAY"), environment("XDG_RUNTIME_DIR"));
    if (chosen.empty()) return x || wayland;
    // The platform named first is tried; "wayland;xcb" falls back to the next one.
    if (chosen.substr(0, 3) == "xcb") return x;
    if (chosen.substr(0, 7) == "wayland")
        return wayland || (chosen.find("xcb") != std::string_view::npos && x);
    // offscreen, minimal, vnc, eglfs, linuxfb: no display server needed.
    return true;
}

std::string NoDisplayText(bool japanese) {
    if (japanese)
        return "zvfirm: ディスプレイを開けません (DISPLAY と WAYLAND_DISPLAY に接続できません)。"
               "端末では zvfirm --list または zvfirm --update --drive N [PACKAGE_FOLDER] "
               "を使って下さい。\n";
    return "zvfirm: no display can be opened (neither DISPLAY nor WAYLAND_DISPLAY can be reached); "
           "on a terminal use zvfirm --list or zvfirm --update --drive N [PACKAGE_FOLDER].\n";
}
