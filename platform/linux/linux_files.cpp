#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/linux_files.h"

namespace platform::linux_os {

namespace {

// Opens only regular files: a directory or a device named in a package is "not found".
// The open does not block, so a FIFO named in a package cannot hang the program; the
// descriptor is made blocking again once it is known to be a regular file.
int OpenRegularFile(const std::string& name) {
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int64_t ReadSome(int fd, void* buffer, size_t count) {
    for (;;) {
        const ssize_t got = read(fd, buffer, count);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

class LinuxTextFile final : public TextFile {
public:
    explicit LinuxTextFile(int fd) : fd_(fd) {}
    ~LinuxTextFile() override { close(fd_); }

    bool ReadLine(std::string& line) override {
        for (;;) {
            if (splitter_.TakeLine(line)) return true;
            if (atEnd_) return splitter_.TakeRest(line);
            char chunk[4096];
            const int64_t got = ReadSome(fd_, chunk, sizeof chunk);
            if (got < 0) {
                failed_ = true;
                return false;
            }
            if (got == 0 || !splitter_.Feed(chunk, static_cast<size_t>(got))) atEnd_ = true;
        }
    }

    bool Failed() const override { return failed_; }

private:
    int fd_;
    TextLineSplitter splitter_;
    bool atEnd_ = false;
    bool failed_ = false;
};

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
    std::unique_ptr<TextFile> OpenText(const std::string& name) override {
        const int fd = OpenRegularFile(name);
        if (fd < 0) return nullptr;
        return std::make_unique<LinuxTextFile>(fd);
    }

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
