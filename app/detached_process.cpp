#include "app/detached_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In a forked child only async-signal-safe calls are made: the program is multithreaded.
[[noreturn]] void ReportAndExit(int report, int error) {
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// The intermediate process: sets up what the program inherits, starts it, and ends, so that
// the program is adopted by init (or the nearest subreaper) and never left as our zombie.
[[noreturn]] void RunIntermediate(int reportEnd, const char* path, char* const* argv,
                                  const char* folder) {
    // The report pipe may have been given a number below 3 when a standard descriptor was
    // closed: move it above them before they are replaced.
    const int report = fcntl(reportEnd, F_DUPFD_CLOEXEC, 3);
    if (report < 0) ReportAndExit(reportEnd, errno);
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0)
        ReportAndExit(report, errno);
    // Nothing else of this process reaches the program; the report end closes on exec.
    if (report > 3) close_range(3, static_cast<unsigned>(report) - 1, 0);
    close_range(static_cast<unsigned>(report) + 1, ~0u, 0);
    if (chdir(folder) != 0) ReportAndExit(report, errno);

    const pid_t program = fork();
    if (program < 0) ReportAndExit(report, errno);
    if (program == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (setsid() < 0) ReportAndExit(report, errno);
        execve(path, argv, environ);
        ReportAndExit(report, errno);
    }
    _exit(0);
}

}  // namespace

bool StartDetached(const std::string& program, const std::string& folder) {
    // Everything the children use is made before the fork.
    std::string path = program;
    char* argv[] = {path.data(), nullptr};

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "zvfirm: cannot start %s: %s\n", program.c_str(),
                     std::strerror(errno));
        return false;
    }
    const pid_t intermediate = fork();
    if (intermediate == 0) {
        close(report[0]);
        RunIntermediate(report[1], path.c_str(), argv, folder.c_str());
    }
    const int forkError = errno;
    close(report[1]);
    if (intermediate < 0) {
        close(report[0]);
        std::fprintf(stderr, "zvfirm: cannot start %s: %s\n", program.c_str(),
                     std::strerror(forkError));
        return false;
    }
    while (waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
    }
    // End of file: every writer has gone, the program through a successful exec.
    int error = 0;
    ssize_t got = 0;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        std::fprintf(stderr, "zvfirm: cannot start %s: %s\n", program.c_str(),
                     std::strerror(error));
        return false;
    }
    return true;
}
