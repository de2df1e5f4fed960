// The update worker: prepares the drive, sends the image in chunks with WRITE BUFFER, gives
// the drive time to program its flash, sends it a second time when the drive asks for it,
// updates the secondary image, and publishes the outcome (update/worker_state.h).
#include "update/update_worker.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "config/program_values.h"
#include "config/update_config.h"
#include "drive/commands.h"
#include "platform/platform.h"
#include "platform/sleep.h"
#include "scsi/command_run.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/failure_text.h"
#include "update/secondary_image.h"
#include "update/worker_state.h"

namespace {

constexpr uint8_t kModeDownload = 4;         // download microcode
constexpr uint8_t kModeDownloadAndSave = 5;  // download microcode and save: programs the flash
constexpr uint8_t kImageBufferId = 0;
constexpr uint8_t kOpenTray = 2;  // START STOP UNIT LoEj 1, Start 0

constexpr uint64_t kSlowFinalChunkMs = 1000;
constexpr uint32_t kWaitAfterSlowFinalChunkMs = 3000;
constexpr uint32_t kPauseBetweenProbesMs = 100;

const char kHoldReason[] = "Writing firmware to the drive";

// The worker started by StartUpdateWorker; touched by the GUI thread only. A program that
// ends without JoinUpdateWorker waits for the worker here rather than being ended by a
// joinable std::thread's destructor.
struct WorkerThread {
    std::thread thread;
    ~WorkerThread() {
        if (thread.joinable()) thread.join();
    }
} worker;

// True when `result` is this command's own failure and its sense data shows the code.
// After -1 and -2 nothing was sent, and the status record still holds the previous
// command's sense, which must not be taken for this one's.
bool FailedWithSense(ScsiResult result, uint8_t keyByte, uint8_t asc, uint8_t ascq) {
    if (result == kScsiOk || result == kScsiNoSystemObject || result == kScsiNoMemory) return false;
    const CommandStatusRecord& status = *CommandStatus;
    return status.SenseArea[kSenseKeyByte] == keyByte && status.SenseArea[kSenseAsc] == asc &&
           status.SenseArea[kSenseAscq] == ascq;
}

uint64_t NowMs() { return platform::Platform().Time->NowMs(); }

// The text first, then the store that announces the failure.
void FailDuringTransfer(ScsiResult result) {
    DescribeFailure(result, LastErrorText);
    ChunkCounter.store(0, std::memory_order_release);
}

void FailAfterTransfer(ScsiResult result) {
    DescribeFailure(result, LastErrorText);
    WorkerState.store(kWorkerFailed, std::memory_order_release);
}

// Time for the drive to program its flash, after a final chunk that began at `start`.
// A final chunk that took a second or more means the drive programmed while it answered.
void FlashWait(uint64_t start) {
    const uint64_t elapsed = NowMs() - start;
    SleepMs(elapsed >= kSlowFinalChunkMs ? kWaitAfterSlowFinalChunkMs
                                         : uint32_t{Config.WaitSeconds} * 1000u);
}

class Transfer {
public:
    Transfer(const DriveEntry& entry, uint32_t chunkSize, uint32_t chunks)
        : entry_(entry), chunkSize_(chunkSize), chunks_(chunks) {}

    // Chunks 0 to n-2 with mode 4. The first pass counts them in ChunkCounter.
    ScsiResult SendNonFinalChunks(bool countProgress) const {
        for (uint32_t k = 0; k + 1 < chunks_; ++k) {
            const uint32_t offset = k * chunkSize_;
            const ScsiResult result = WriteBuffer(entry_, Config.Image + offset, chunkSize_, offset,
                                                  kModeDownload, kImageBufferId);
            if (result != kScsiOk) return result;
            if (countProgress)
                ChunkCounter.store(ChunkCounter.load(std::memory_order_relaxed) + 1,
                                   std::memory_order_release);
        }
        return kScsiOk;
    }

    // Chunk n-1 with mode 5: the drive checks the image and programs its flash.
    ScsiResult SendFinalChunk() const {
        const uint32_t offset = (chunks_ - 1) * chunkSize_;
        return WriteBuffer(entry_, Config.Image + offset, chunkSize_, offset, kModeDownloadAndSave,
                           kImageBufferId);
    }

private:
    const DriveEntry& entry_;
    uint32_t chunkSize_;
    uint32_t chunks_;
};

// The hold is kept for the whole run, whichever way it ends.
std::unique_ptr<platform::PowerHold> HoldSleepAndShutdown() {
    std::unique_ptr<platform::PowerHold> hold;
    if (platform::Power* power = platform::Platform().PowerManagement)
        hold = power->HoldSleepAndShutdown(kHoldReason);
    if (hold == nullptr)
        std::fputs("zvfirm: nothing holds sleep and shutdown back while the firmware is written\n",
                   stderr);
    return hold;
}

}  // namespace

void CZVFUpdate::Run() {
    const std::unique_ptr<platform::PowerHold> hold = HoldSleepAndShutdown();
    // Every command of the update goes to one drive; its node stays open until the end.
    const CommandRun run;
    const DriveEntry& entry = DriveTable[SelectedDrive];
    const uint32_t chunkSize = Config.BufferSize;
    const uint32_t chunks = chunkSize == 0 ? 0 : Config.FirmwareSize / chunkSize;

    // The configuration refuses such sizes; should they reach here all the same, nothing is
    // sent rather than a chunk read from beyond the image.
    if (chunks == 0 || Config.Image == nullptr) {
        DescribeFailure(kScsiUpdateFailure, LastErrorText);
        WorkerState.store(kWorkerFailed, std::memory_order_release);
        ChunkCounter.store(0, std::memory_order_release);
        return;
    }

    // Drive preparation: the tray is opened (ejecting any disc) unless it is closed and
    // empty; the first TEST UNIT READY only clears a pending unit attention.
    TestUnitReady(entry);
    const ScsiResult ready = TestUnitReady(entry);
    if (!FailedWithSense(ready, 0x02, 0x3A, 0x01)) StartStopUnit(entry, kOpenTray, 0);

    const Transfer transfer(entry, chunkSize, chunks);
    ScsiResult result = transfer.SendNonFinalChunks(true);
    if (result != kScsiOk) {
        FailDuringTransfer(result);
        return;
    }
    uint64_t finalStart = NowMs();
    result = transfer.SendFinalChunk();
    if (result != kScsiOk) {
        FailAfterTransfer(result);
        return;
    }
    FlashWait(finalStart);

    if (Config.TwiceUpdate == 1) {
        TestUnitReady(entry);
        SleepMs(kPauseBetweenProbesMs);
        TestUnitReady(entry);
        SleepMs(kPauseBetweenProbesMs);
        const ScsiResult probe = TestUnitReady(entry);
        // The drive asks for the image once more.
        if (FailedWithSense(probe, 0x04, 0x40, 0xF7)) {
            result = transfer.SendNonFinalChunks(false);
            if (result != kScsiOk) {
                FailAfterTransfer(result);
                return;
            }
            finalStart = NowMs();
            result = transfer.SendFinalChunk();
            if (result != kScsiOk) {
                FailAfterTransfer(result);
                return;
            }
            FlashWait(finalStart);
        }
    }

    if (Config.UpdateAfterCmd == 1) {
        TestUnitReady(entry);
        TestUnitReady(entry);
    }

    if (Config.EpsFileName[0] != '\0') {
        result = UpdateSecondaryImage();
        if (result != kScsiOk) {
            FailAfterTransfer(result);
            return;
        }
    }

    WorkerState.store(kWorkerDone, std::memory_order_release);
    ChunkCounter.store(0, std::memory_order_release);
}

unsigned UpdateThreadProc(void* /*parameter*/) {
    CZVFUpdate update;
    update.Run();
    return 0;
}

// The thread is kept and joined rather than detached: the worker reads the image buffers,
// which the program releases when the main dialog has closed, and joining is what lets the
// program end only after the worker has (and lets thread checkers see the hand-over).
bool StartUpdateWorker() {
    JoinUpdateWorker();
    try {
        worker.thread = std::thread([] { UpdateThreadProc(nullptr); });
    } catch (const std::exception&) {  // no thread or no memory for its state
        return false;
    }
    return true;
}

void JoinUpdateWorker() {
    if (worker.thread.joinable()) worker.thread.join();
}
