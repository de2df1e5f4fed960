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

// Per-command figures: this many rounds of each loop, the loops taken in turn.
constexpr int kCommandRounds = 21;
constexpr int kCommandsPerRound = 1000;
constexpr int kDownloadRounds = 7;
constexpr uint32_t kImageSize = 2 * 1024 * 1024;
constexpr uint32_t kChunk = 8192;
// WRITE BUFFER mode 2 (data): scsi_debug takes the bytes and raises no unit attention,
// so every chunk reaches the drive the same way in both programs.
constexpr uint8_t kDataMode = 2;

struct Spread {
    double median, low, high;  // microseconds, or milliseconds for downloads
};

Spread SpreadOf(std::vector<double> figures) {
    if (figures.empty()) return {0, 0, 0};
    std::sort(figures.begin(), figures.end());
    return {figures[figures.size() / 2], figures.front(), figures.back()};
}

// Rounds of several loops taken in turn (round 1 of each loop, then round 2 of each...), so
// that whatever slows the guest for a while (the emulator, the host's other work) weighs on
// every loop alike instead of on whichever happened to run then. Returns each loop's
// figures, one per round.
std::vector<std::vector<double>> InTurn(const std::vector<std::function<double()>>& loops,
                                        int rounds) {
    std::vector<std::vector<double>> figures(loops.size());
    for (int round = 0; round < rounds; ++round)
        for (size_t loop = 0; loop < loops.size(); ++loop) figures[loop].push_back(loops[loop]());
    return figures;
}

// A loop against a base loop measured in the same rounds: the median of the ratios round by
// round, with the lowest and the highest.
Spread RatioOf(const std::vector<double>& measured, const std::vector<double>& base) {
    std::vector<double> ratios;
    for (size_t round = 0; round < measured.size() && round < base.size(); ++round)
        if (base[round] > 0) ratios.push_back(measured[round] / base[round]);
    return SpreadOf(ratios);
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

void PrintRatio(const char* what, const std::vector<double>& measured,
                const std::vector<double>& base) {
    const Spread ratio = RatioOf(measured, base);
    std::printf("BENCH: %-52s %.2fx (median of the rounds' ratios; from %.2fx to %.2fx)\n", what,
                ratio.median, ratio.low, ratio.high);
}

bool WriteDebugParameter(const char* name, const char* value) {
    const std::string path = std::string("/sys/bus/pseudo/drivers/scsi_debug/") + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fputs(value, file) >= 0;
    return std::fclose(file) == 0 && written;
}

// One round of TEST UNIT READY sent `kCommandsPerRound` times on a descriptor opened once,
// each by `send` from a header built afresh, as a program would; microseconds per command.
double BareRound(int fd, bool (*send)(int fd, sg_io_hdr_t& header)) {
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
}

// Through SG_IO: the least a program can do.
bool SendRaw(int fd, sg_io_hdr_t& header) { return ioctl(fd, SG_IO, &header) == 0; }

// Through the generic node's own interface, write() then read(): what a path that never
// sends a command twice under a signal pays at least (SG_IO may re-send it), so the
// pass-through figure is read against this floor as well as the raw loop.
bool SendWriteRead(int fd, sg_io_hdr_t& header) {
    return write(fd, &header, sizeof header) >= 0 && read(fd, &header, sizeof header) >= 0;
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
    std::vector<double> rounds;
    for (int round = 0; round < kCommandRounds; ++round) {
        const int64_t start = NowUs();
        for (int i = 0; i < kCommandsPerRound; ++i) {
            std::unique_lock<std::mutex> lock(mutex);
            turn = 1;
            toWorker.notify_one();
            toCaller.wait(lock, [&] { return turn == 0; });
        }
        rounds.push_back(static_cast<double>(NowUs() - start) / kCommandsPerRound);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        turn = 2;
    }
    toWorker.notify_one();
    worker.join();
    return SpreadOf(rounds);
}

// One round through the transport `passThrough` names, in the caller's run of commands.
double ProgramRound(const DriveEntry& entry, uint8_t passThrough) {
    UsePassThrough = passThrough;
    const int64_t start = NowUs();
    for (int i = 0; i < kCommandsPerRound; ++i) TestUnitReady(entry);
    return static_cast<double>(NowUs() - start) / kCommandsPerRound;
}

// The whole download as the program sends it: one WRITE BUFFER per chunk; milliseconds.
double ProgramDownload(const DriveEntry& entry, uint8_t passThrough,
                       const std::vector<uint8_t>& image) {
    UsePassThrough = passThrough;
    const int64_t start = NowUs();
    for (uint32_t offset = 0; offset < kImageSize; offset += kChunk)
        WriteBuffer(entry, image.data() + offset, kChunk, offset, kDataMode, 0);
    return static_cast<double>(NowUs() - start) / 1000.0;
}

// The same download by sg_write_buffer, a whole process; milliseconds, or a negative
// figure when the tool did not run or failed.
double ToolDownload(const char* tool, const char* node, const char* imagePath) {
    const std::string mode = std::to_string(kDataMode);
    const std::string bpw = "--bpw=" + std::to_string(kChunk);
    const std::string in = std::string("--in=") + imagePath;
    const char* argv[] = {tool, "--mode", mode.c_str(), bpw.c_str(), in.c_str(), node, nullptr};
    const int64_t start = NowUs();
    pid_t child = 0;
    int status = -1;
    if (posix_spawn(&child, tool, nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(NowUs() - start) / 1000.0;
}

}  // namespace

void RunBenchmark(const char* genericNode, const char* sgWriteBuffer) {
    std::printf(
        "== benchmark against scsi_debug with no response delay (%d rounds of %d commands per "
        "loop, the loops in turn; %d rounds of 2 MiB in 8 KiB chunks)\n",
        kCommandRounds, kCommandsPerRound, kDownloadRounds);
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

    // Both transports are ready before anything is measured: the ASPI manager's request
    // threads exist for every loop alike (a process with threads pays a little more for
    // write() and read()), as they do in the program.
    DriveEntry aspiEntry{};
    bool aspiReady = false;
    UsePassThrough = 0;
    const bool aspiOpened = AspiOpen() == 1;
    if (aspiOpened) {
        std::memset(DriveTable, 0, sizeof DriveTable);
        aspiReady = DiscoverDrives() > 0;
        if (aspiReady) aspiEntry = DriveTable[0];
    }
    if (!aspiReady)
        std::printf("BENCH: the ASPI manager found no drive; its figures are left out\n");

    // The program's commands are sent as one run, as an update sends its commands: the
    // pass-through transport opens the drive's node once, the ASPI transport makes one
    // completion event.
    const CommandRun run;
    const int fd = open(genericNode, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::printf("BENCH: %s does not open\n", genericNode);
        if (aspiOpened) AspiClose();
        return;
    }
    std::vector<std::function<double()>> commandLoops = {
        [fd] { return BareRound(fd, SendRaw); },
        [fd] { return BareRound(fd, SendWriteRead); },
        [&passThrough] { return ProgramRound(passThrough, 1); },
    };
    if (aspiReady) commandLoops.push_back([&aspiEntry] { return ProgramRound(aspiEntry, 0); });
    const auto perCommand = InTurn(commandLoops, kCommandRounds);
    close(fd);
    const Spread handOver = HandOver();

    std::vector<std::function<double()>> downloads = {
        [&] { return ToolDownload(sgWriteBuffer, genericNode, imagePath); },
        [&] { return ProgramDownload(passThrough, 1, image); },
    };
    if (aspiReady) downloads.push_back([&] { return ProgramDownload(aspiEntry, 0, image); });
    const auto download = InTurn(downloads, kDownloadRounds);
    const bool toolRan = std::none_of(download[0].begin(), download[0].end(),
                                      [](double figure) { return figure < 0; });
    if (aspiOpened) AspiClose();

    const std::vector<double> none;
    const std::vector<double>& raw = perCommand[0];
    const std::vector<double>& writeRead = perCommand[1];
    const std::vector<double>& pass = perCommand[2];
    const std::vector<double>& aspi = aspiReady ? perCommand[3] : none;
    Print("raw SG_IO loop, TEST UNIT READY, one descriptor", SpreadOf(raw));
    Print("sg write() and read(), TEST UNIT READY, one descriptor", SpreadOf(writeRead));
    Print("thread hand-over round trip (no command)", handOver);
    Print("pass-through transport, TEST UNIT READY", SpreadOf(pass));
    if (aspiReady) Print("ASPI manager, TEST UNIT READY", SpreadOf(aspi));
    PrintRatio("pass-through / raw SG_IO", pass, raw);
    PrintRatio("sg write() and read() / raw SG_IO", writeRead, raw);
    PrintRatio("pass-through / sg write() and read()", pass, writeRead);
    if (aspiReady) PrintRatio("ASPI / raw SG_IO", aspi, raw);
    Print("2 MiB, pass-through transport", SpreadOf(download[1]), "ms");
    if (aspiReady) Print("2 MiB, ASPI manager", SpreadOf(download[2]), "ms");
    if (toolRan) {
        Print("2 MiB, sg_write_buffer --bpw=8192 (whole process)", SpreadOf(download[0]), "ms");
        PrintRatio("2 MiB pass-through / sg_write_buffer", download[1], download[0]);
        if (aspiReady) PrintRatio("2 MiB ASPI / sg_write_buffer", download[2], download[0]);
    } else {
        std::printf("BENCH: sg_write_buffer (%s) did not run or failed\n", sgWriteBuffer);
    }
    WriteDebugParameter("delay", "1");
}
