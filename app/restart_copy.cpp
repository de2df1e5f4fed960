#include "app/restart_copy.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/delete_on_reboot.h"
#include "app/detached_process.h"
#include "app/reboot_failure.h"
#include "config/update_config.h"
#include "platform/platform.h"

namespace {

constexpr unsigned kLastCopyNumber = 0xFFFF;
// Readable and executable by its owner only: the temporary folder is shared with other
// users, and the copy may run with the right to reboot. It is not written after it is made.
constexpr mode_t kCopyMode = S_IRUSR | S_IXUSR;

// The temporary folder with a trailing '/', made absolute: the copy is started with the
// folder as its current directory. Empty when there is none.
std::string CopyFolder(std::string folder) {
    if (folder.empty()) return folder;
    if (folder.back() != '/') folder += '/';
    if (folder[0] == '/') return folder;
    char current[PATH_MAX];
    if (getcwd(current, sizeof current) == nullptr) return {};
    return std::string(current) + "/" + folder;
}

bool CopyBytes(int source, int target) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t written = write(target, buffer + done, static_cast<size_t>(got - done));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            done += written;
        }
    }
}

// Copies `image` into `folder` under the first free name "REB_xxxx.EXE"; the copy's path, or
// empty when no copy could be made.
std::string MakeRestartCopy(const std::string& image, const std::string& folder) {
    const int source = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return {};
    std::string made;
    for (unsigned number = 0; number <= kLastCopyNumber; ++number) {
        char name[16];
        std::snprintf(name, sizeof name, "REB_%04x.EXE", number);
        const std::string target = folder + name;
        // Exclusive creation fails on every name that exists, a symbolic link included
        // wherever it points: nothing is ever written over a file or through a link.
        const int copy =
            open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRWXU);
        if (copy < 0 && errno == EEXIST) continue;
        // Any other failure (no such folder, no room, no permission) is the same for every
        // number.
        if (copy < 0) break;
        // fchmod sets the bits exactly, whatever the umask took away at creation.
        const bool copied = CopyBytes(source, copy) && fchmod(copy, kCopyMode) == 0;
        if (close(copy) == 0 && copied)
            made = target;
        else
            unlink(target.c_str());
        break;
    }
    close(source);
    return made;
}

}  // namespace

void LaunchRestartCopy() {
    if (Config.NoDeleteFile == 1) return;
    platform::SystemInfo& system = *platform::Platform().System;
    const std::string folder = CopyFolder(system.TempFolder());
    // The running program itself, not a file of its name in the current directory, which
    // may be another program that would then run with the right to reboot.
    const std::string copy =
        folder.empty() ? "" : MakeRestartCopy(system.ExecutableImage(), folder);
    if (copy.empty()) {
        ShowRebootFailure();
        return;
    }
    ScheduleDeleteOnReboot(copy);
    // A copy that cannot be started is not reported: the program ends without a reboot.
    StartDetached(copy, folder);
}
