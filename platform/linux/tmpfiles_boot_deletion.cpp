#include "platform/linux/tmpfiles_boot_deletion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include "platform/linux/linux_platform.h"

namespace platform::linux_os {

namespace {

// systemd-tmpfiles expands '%' specifiers, splits on blanks, undoes quotes and escapes, and
// treats the path of an "r" line as a glob: a path with any other character than these is
// not written at all rather than written so that it could name other files.
bool SafeForTmpfiles(const std::string& path) {
    if (path.size() < 2 || path[0] != '/') return false;
    for (const char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || std::strchr("/._-+,:=@~", c) != nullptr;
        if (!plain) return false;
    }
    return true;
}

bool IsWritableFolder(const std::string& folder) {
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(folder.c_str(), W_OK) == 0;
}

// Makes `folder` and the folders above it that are missing, each readable by its owner only.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return IsWritableFolder(folder);
}

bool WriteWhole(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<size_t>(written);
    }
    // The entry has to be on disk when the machine reboots a few seconds from now.
    const bool complete = done == text.size() && fsync(fd) == 0;
    close(fd);
    if (!complete) unlink(path.c_str());
    return complete;
}

// Writes the entry for `path` into `folder`; false when it cannot be written there.
bool WriteEntry(const std::string& folder, const std::string& path) {
    const std::string entry =
        folder + "/zvfirm-restart-" + path.substr(path.find_last_of('/') + 1) + ".conf";
    if (!SafeForTmpfiles(entry)) return false;
    return WriteWhole(entry,
                      "# zvfirm's temporary restart copy, and this entry with it.\n"
                      "r " +
                          path + "\nr " + entry + "\n");
}

std::string UserTmpfilesFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/user-tmpfiles.d";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/user-tmpfiles.d";
    return {};
}

}  // namespace

bool TmpfilesBootDeletion::FolderInMemory(const std::string& folder) {
    struct statfs info {};
    if (statfs(folder.c_str(), &info) != 0) return false;
    return info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC;
}

bool TmpfilesBootDeletion::DeleteAtNextBoot(const std::string& path) {
    if (!SafeForTmpfiles(path)) {
        std::fprintf(stderr,
                     "zvfirm: %s cannot be named in a tmpfiles.d entry; "
                     "it stays after the next boot\n",
                     path.c_str());
        return false;
    }
    const std::string folder = path.substr(0, path.find_last_of('/'));
    if (places_.inMemory(folder.empty() ? "/" : folder)) return true;

    if (IsWritableFolder(places_.systemFolder) && WriteEntry(places_.systemFolder, path))
        return true;
    if (places_.userManager && !places_.userFolder.empty() && MakeFolders(places_.userFolder) &&
        WriteEntry(places_.userFolder, path))
        return true;
    std::fprintf(stderr,
                 "zvfirm: no tmpfiles.d entry could be written for %s; "
                 "it stays after the next boot unless its folder is emptied then\n",
                 path.c_str());
    return false;
}

BootDeletion& LinuxBootDeletion() {
    static TmpfilesBootDeletion deletion([] {
        TmpfilesBootDeletion::Places places;
        places.userFolder = UserTmpfilesFolder();
        places.userManager = sd_booted() > 0;
        return places;
    }());
    return deletion;
}

}  // namespace platform::linux_os
