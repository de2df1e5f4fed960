#include "tests/qemu/benchmark.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/update_config.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "scsi/aspi_transport.h"
#include "scsi/command_run.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "tests/qemu/probe_report.h"

extern char** environ;

namespace {

constexpr int kRounds = 7;  // each figure is the median of this many rounds
constexpr int kCommandsPerRound = 2000;
constexpr uint32_t kImageSize = 2 * 1024 * 1024;
constexpr uint32_t kChunk = 8192;
// WRITE BUFFER mode 2 (data): scsi_debug takes the bytes and raises no unit attention,
// so every chunk reaches the drive the same way in both programs.
constexpr uint8_t kDataMode = 2;

struct Spread {
    double median, low, high;  // microseconds
};

Spread Measure(const std::function<double()>& round) {
    std::vector<double> figures;
    for (int i = 0; i < kRounds; ++i) figures.push_back(round());
    std::sort(figures.begin(), figures.end());
    return {figures[figures.size() / 2], figures.front(), figures.back()};
}

int64_t NowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void Print(const char* what, const Spread& spread, const char* unit = "us per command") {
    std::printf("BENCH: %-52s median %9.1f %s (rounds %.1f to %.1f)\n", what, spread.median, unit,
                spread.low, spread.high);
}

void PrintRatio(const char* what, const Spread& measured, const Spread& base) {
    std::printf("BENCH: %-52s %.2fx (medians; from %.2fx to %.2fx across rounds' extremes)\n", what,
                measured.median / base.median, measured.low / base.high, measured.high / base.low);
}

bool WriteDebugParameter(const char* name, const char* value) {
    const std::string path = std::string("/sys/bus/pseudo/drivers/scsi_debug/") + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

// TEST UNIT READY sent `kCommandsPerRound` times a round on a descriptor opened once, each
// by `send` from a header built afresh, as a program would.
Spread BareLoop(const char* node, bool (*send)(int fd, sg_io_hdr_t& header)) {
    const int fd = open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {0, 0, 0};
    const Spread spread = Measure([fd, send] {
        const int64_t start = NowUs();
        for (int i = 0; i < kCommandsPerRound; ++i) {
            unsigned char cdb[6] = {};
            unsigned char sense[32];
            sg_io_hdr_t header{};
            header.interface_id = 'S';
            header.dxfer_direction = SG_DXFER_NONE;
            header.cmd_len = sizeof cdb;
            header.cmdp = cdb;
            header.mx_sb_len = sizeof sense;
            header.sbp = sense;
            header.timeout = 10000;
            if (!send(fd, header)) break;
        }
        return static_cast<double>(NowUs() - start) / kCommandsPerRound;
    });
    close(fd);
    return spread;
}

// Through SG_IO: the least a program can do.
Spread RawLoop(const char* node) {
    return BareLoop(node,
                    [](int fd, sg_io_hdr_t& header) { return ioctl(fd, SG_IO, &header) == 0; });
}

// Through the generic node's own interface, write() then read(): what a path that never
// sends a command twice under a signal pays at least (SG_IO may re-send it), so the
// pass-through figure is read against this floor as well as the raw loop.
Spread WriteReadLoop(const char* node) {
    return BareLoop(node, [](int fd, sg_io_hdr_t& header) {
        return write(fd, &header, sizeof header) >= 0 && read(fd, &header, sizeof header) >= 0;
    });
}

// One round trip between two threads through a mutex and condition variables: what an
// ASPI request costs on top of the command when a request thread has to collect it.
Spread HandOver() {
    std::mutex mutex;
    std::condition_variable toWorker, toCaller;
    int turn = 0;  // 0 caller, 1 worker, 2 stop
    std::thread worker([&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            toWorker.wait(lock, [&] { return turn != 0; });
            if (turn == 2) return;
            turn = 0;
            toCaller.notify_one();
        }
    });
    const Spread spread = Measure([&] {
        const int64_t start = NowUs();
        for (int i = 0; i < kCommandsPerRound; ++i) {
            std::unique_lock<std::mutex> lock(mutex);
            turn = 1;
            toWorker.notify_one();
            toCaller.wait(lock, [&] { return turn == 0; });
        }
        return static_cast<double>(NowUs() - start) / kCommandsPerRound;
    });
    {
        std::lock_guard<std::mutex> lock(mutex);
        turn = 2;
    }
    toWorker.notify_one();
    worker.join();
    return spread;
}

// As a discovery walk or an update sends them: the pass-through transport keeps the node it
// opened for the run.
Spread ProgramLoop(const DriveEntry& entry) {
    return Measure([&entry] {
        const CommandRun run;
        const int64_t start = NowUs();
        for (int i = 0; i < kCommandsPerRound; ++i) TestUnitReady(entry);
        return static_cast<double>(NowUs() - start) / kCommandsPerRound;
    });
}

// The whole download as the program sends it: one WRITE BUFFER per chunk; milliseconds.
Spread ProgramDownload(const DriveEntry& entry, const std::vector<uint8_t>& image) {
    return Measure([&] {
        const CommandRun run;
        const int64_t start = NowUs();
        for (uint32_t offset = 0; offset < kImageSize; offset += kChunk)
            WriteBuffer(entry, image.data() + offset, kChunk, offset, kDataMode, 0);
        return static_cast<double>(NowUs() - start) / 1000.0;
    });
}

// The same download by sg_write_buffer, a whole process each time; milliseconds.
Spread ToolDownload(const char* tool, const char* node, const char* imagePath, bool* ran) {
    *ran = true;
    return Measure([&] {
        const std::string mode = std::to_string(kDataMode);
        const std::string bpw = "--bpw=" + std::to_string(kChunk);
        const std::string in = std::string("--in=") + imagePath;
        const char* argv[] = {tool, "--mode", mode.c_str(), bpw.c_str(), in.c_str(), node, nullptr};
        const int64_t start = NowUs();
        pid_t child = 0;
        int status = -1;
        if (posix_spawn(&child, tool, nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            *ran = false;
        return static_cast<double>(NowUs() - start) / 1000.0;
    });
}

}  // namespace

void RunBenchmark(const char* genericNode, const char* sgWriteBuffer) {
    std::printf(
        "== benchmark against scsi_debug with no response delay (%d rounds; %d commands "
        "per round; 2 MiB in 8 KiB chunks)\n",
        kRounds, kCommandsPerRound);
    WriteDebugParameter("delay", "0");

    UsePassThrough = 1;
    std::memset(DriveTable, 0, sizeof DriveTable);
    if (DiscoverDrives() == 0) {
        std::printf("BENCH: no drive discovered on pass-through\n");
        return;
    }
    const DriveEntry passThrough = DriveTable[0];

    std::vector<uint8_t> image(kImageSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    const char* imagePath = "/tmp/benchmark.img";
    if (FILE* file = std::fopen(imagePath, "wb")) {
        std::fwrite(image.data(), 1, image.size(), file);
        std::fclose(file);
    }

    const Spread raw = RawLoop(genericNode);
    const Spread writeRead = WriteReadLoop(genericNode);
    const Spread handOver = HandOver();
    const Spread pass = ProgramLoop(passThrough);
    bool toolRan = false;
    const Spread tool = ToolDownload(sgWriteBuffer, genericNode, imagePath, &toolRan);
    const Spread passDownload = ProgramDownload(passThrough, image);

    Spread aspi{0, 0, 0};
    Spread aspiDownload{0, 0, 0};
    UsePassThrough = 0;
    if (AspiOpen() == 1) {
        std::memset(DriveTable, 0, sizeof DriveTable);
        if (DiscoverDrives() > 0) {
            const DriveEntry aspiEntry = DriveTable[0];
            aspi = ProgramLoop(aspiEntry);
            aspiDownload = ProgramDownload(aspiEntry, image);
        }
        AspiClose();
    }

    Print("raw SG_IO loop, TEST UNIT READY, one descriptor", raw);
    Print("sg write() and read(), TEST UNIT READY, one descriptor", writeRead);
    Print("thread hand-over round trip (no command)", handOver);
    Print("pass-through transport, TEST UNIT READY", pass);
    Print("ASPI manager, TEST UNIT READY", aspi);
    PrintRatio("pass-through / raw SG_IO", pass, raw);
    PrintRatio("sg write() and read() / raw SG_IO", writeRead, raw);
    PrintRatio("ASPI / raw SG_IO", aspi, raw);
    Print("2 MiB, pass-through transport", passDownload, "ms");
    Print("2 MiB, ASPI manager", aspiDownload, "ms");
    if (toolRan) {
        Print("2 MiB, sg_write_buffer --bpw=8192 (whole process)", tool, "ms");
        PrintRatio("2 MiB pass-through / sg_write_buffer", passDownload, tool);
        PrintRatio("2 MiB ASPI / sg_write_buffer", aspiDownload, tool);
    } else {
        std::printf("BENCH: sg_write_buffer (%s) did not run or failed\n", sgWriteBuffer);
    }
    WriteDebugParameter("delay", "1");
}
