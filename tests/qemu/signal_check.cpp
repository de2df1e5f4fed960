#include "tests/qemu/signal_check.h"

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "drive/commands.h"
#include "scsi/command_status.h"
#include "tests/qemu/probe_report.h"

namespace {

std::atomic<int> signalsCaught{0};

void CountSignal(int) { signalsCaught.fetch_add(1, std::memory_order_relaxed); }

bool WriteDebugParameter(const char* name, const char* value) {
    const std::string path = std::string("/sys/bus/pseudo/drivers/scsi_debug/") + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

// The number of commands the SCSI layer has handed to the device's driver; -1 if unknown.
long DispatchCount(const GuestDrive& drive) {
    const std::string path = "/sys/bus/scsi/devices/" + std::to_string(drive.host) + ":" +
                             std::to_string(drive.channel) + ":" + std::to_string(drive.target) +
                             ":" + std::to_string(drive.lun) + "/iorequest_cnt";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    char text[32] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    return read ? std::strtol(text, nullptr, 0) : -1;
}

// Sends `signal` to every thread of this process but the calling one, so that whichever
// thread waits in the kernel for the command gets it.
int SignalEveryOtherThread(int signal) {
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    int sent = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    while (dirent* task = readdir(tasks)) {
        const pid_t tid = static_cast<pid_t>(std::atoi(task->d_name));
        if (tid <= 0 || tid == self) continue;
        if (syscall(SYS_tgkill, getpid(), tid, signal) == 0) ++sent;
    }
    closedir(tasks);
    return sent;
}

// TEST UNIT READY until the drive is ready: a download raises unit attentions.
void SettleDrive(const DriveEntry& entry) {
    for (int i = 0; i < 5 && TestUnitReady(entry) != kScsiOk; ++i) {
    }
}

}  // namespace

void CheckSignalDuringCommand(const char* part, const DriveEntry& entry, const GuestDrive& drive) {
    struct Case {
        const char* name;
        int flags;
    };
    const Case cases[] = {{"a handler without SA_RESTART", 0},
                          {"a handler with SA_RESTART", SA_RESTART}};
    for (const Case& c : cases) {
        SettleDrive(entry);
        struct sigaction action {};
        struct sigaction previous {};
        action.sa_handler = CountSignal;
        action.sa_flags = c.flags;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &previous);
        signalsCaught.store(0);

        // 0.9 s for every command (the longest scsi_debug's ndelay allows), a signal after
        // 0.3 s.
        const bool slowed = WriteDebugParameter("ndelay", "900000000");
        const long before = DispatchCount(drive);
        int signalled = 0;
        std::thread sender([&signalled] {
            PauseMs(300);
            signalled = SignalEveryOtherThread(SIGUSR1);
        });
        uint8_t chunk[16] = {};
        const int64_t start = NowMs();
        const ScsiResult result = WriteBuffer(entry, chunk, sizeof chunk, 0, 4, 0);
        const int64_t took = NowMs() - start;
        sender.join();
        const std::string outcome = Outcome();
        WriteDebugParameter("ndelay", "0");
        const long after = DispatchCount(drive);
        sigaction(SIGUSR1, &previous, nullptr);

        std::printf(
            "  %s WRITE BUFFER with %s: -> %d in %lld ms, %s; signal sent to %d "
            "thread(s), caught %d time(s); dispatches %ld\n",
            part, c.name, result, static_cast<long long>(took), outcome.c_str(), signalled,
            signalsCaught.load(), after - before);
        Verdict(slowed && before >= 0 && signalled > 0 && after - before == 1 && result == kScsiOk,
                "%s scsi_debug: a signal (%s) during WRITE BUFFER: the command is dispatched "
                "once and its own outcome returned (dispatched %ld time(s), got %d)",
                part, c.name, after - before, result);
        // A command the kernel left running after the interrupted wait ends within the
        // delay; its unit attentions must not answer the next case.
        PauseMs(1000);
        SettleDrive(entry);
    }
}
