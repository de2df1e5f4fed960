#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>

#include "platform/linux/linux_files.h"

namespace platform::linux_os {

namespace {

// Opens only regular files: a FIFO, a device or a folder named in a package is "not
// found". What the name is must be known before anything opens it: opening a device runs
// its driver (a watchdog, once opened, reboots the machine unless it is fed) and opening a
// FIFO blocks. So the name is first looked up without opening the file (O_PATH, links
// followed), its type read from that, and only a regular file is opened, through the
// looked-up descriptor, so that the file opened is the file that was checked.
int OpenRegularFile(const std::string& name) {
    const int path = open(name.c_str(), O_PATH | O_CLOEXEC);
    if (path < 0) return -1;
    struct stat checked {};
    if (fstat(path, &checked) != 0 || !S_ISREG(checked.st_mode)) {
        close(path);
        return -1;
    }
    const std::string reopen = "/proc/self/fd/" + std::to_string(path);
    int fd = open(reopen.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENOENT) {
        // No /proc: open the name itself, without blocking, and keep the descriptor only
        // when it is the very file that was checked. (A name swapped for a device between
        // the look-up and this open is still refused, but its driver has been opened: only
        // the reopen through /proc closes that gap.)
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat opened {};
        if (fd >= 0 && (fstat(fd, &opened) != 0 || opened.st_dev != checked.st_dev ||
                        opened.st_ino != checked.st_ino || !S_ISREG(opened.st_mode) ||
                        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
            close(fd);
            fd = -1;
        }
    }
    close(path);
    return fd;
}

int64_t ReadSome(int fd, void* buffer, size_t count) {
    for (;;) {
        const ssize_t got = read(fd, buffer, count);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

class LinuxInputFile final : public InputFile {
public:
    explicit LinuxInputFile(int fd) : fd_(fd) {}
    ~LinuxInputFile() override { close(fd_); }
    int64_t Read(uint8_t* buffer, uint32_t count) override { return ReadSome(fd_, buffer, count); }

private:
    int fd_;
};

class LinuxFileSystem final : public FileSystem {
public:
    std::unique_ptr<InputFile> OpenInput(const std::string& name) override {
        const int fd = OpenRegularFile(name);
        if (fd < 0) return nullptr;
        return std::make_unique<LinuxInputFile>(fd);
    }
};

}  // namespace

FileSystem& LinuxFiles() {
    static LinuxFileSystem files;
    return files;
}

}  // namespace platform::linux_os
