#include "tests/qemu/update_check.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/program_values.h"
#include "config/update_config.h"
#include "drive/commands.h"
#include "scsi/command_status.h"
#include "scsi/drive_entry.h"
#include "scsi/failure_text.h"
#include "tests/qemu/probe_report.h"
#include "update/update_worker.h"
#include "update/worker_state.h"

namespace {

constexpr uint8_t kUnitAttention = 0x06;
constexpr uint8_t kMicrocodeChangedAsc = 0x3F;
// Microcode changed without a reset: what scsi_debug raises after a download with save.
constexpr uint8_t kMicrocodeChangedAscq = 0x16;

// Loads the configuration an update package would give: one 8 KiB chunk, no flash wait.
void ConfigureOneChunk(std::vector<uint8_t>& image, bool followUp) {
    image.resize(8192);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    Config.Image = image.data();
    Config.FirmwareSize = static_cast<uint32_t>(image.size());
    Config.BufferSize = static_cast<uint32_t>(image.size());
    Config.WaitSeconds = 0;
    Config.TwiceUpdate = followUp ? 1 : 0;
    Config.UpdateAfterCmd = followUp ? 1 : 0;
    Config.EpsFileName[0] = '\0';
}

}  // namespace

void CheckUpdate(const char* part, uint16_t tableIndex, bool followUp) {
    const DriveEntry& entry = DriveTable[tableIndex];
    std::printf("-- %s: update of \"%s\", one chunk in mode 5%s\n", part, entry.DisplayText,
                followUp ? ", with the second-pass probe and the extra TEST UNIT READY" : "");
    std::vector<uint8_t> image;
    ConfigureOneChunk(image, followUp);
    SelectedDrive = tableIndex;

    ChunkCounter.store(1, std::memory_order_relaxed);
    WorkerState.store(kWorkerRunning, std::memory_order_relaxed);
    const int64_t start = NowMs();
    const bool started = StartUpdateWorker();
    JoinUpdateWorker();
    const int64_t took = NowMs() - start;
    const uint8_t state = WorkerState.load(std::memory_order_acquire);
    const uint32_t counter = ChunkCounter.load(std::memory_order_acquire);
    std::printf(
        "  %s worker ended after %lld ms: WorkerState %u, ChunkCounter %u, last "
        "command %s, LastErrorText \"%s\"\n",
        part, static_cast<long long>(took), state, counter, Outcome().c_str(),
        LastErrorText.c_str());
    Verdict(started && state == kWorkerDone && counter == 0,
            "%s update worker: a one-chunk image in mode 5 to scsi_debug ends in success "
            "(WorkerState %u, ChunkCounter %u)",
            part, state, counter);

    // The download changed the drive's microcode (a unit attention), and the worker opened
    // the tray (START STOP UNIT, LoEj 1, Start 0), which stops scsi_debug (02/04/02): both
    // show on the next commands, unless the worker's own TEST UNIT READY took them.
    std::vector<std::string> seen;
    bool microcodeChanged = false;
    for (int i = 0; i < 6; ++i) {
        const ScsiResult result = TestUnitReady(entry);
        std::printf("  %s TEST UNIT READY after the update -> %d %s\n", part, result,
                    Outcome().c_str());
        const uint8_t* sense = CommandStatus->SenseArea;
        if (result == kScsiTargetError && sense[kSenseKeyByte] == kUnitAttention &&
            sense[kSenseAsc] == kMicrocodeChangedAsc && sense[kSenseAscq] == kMicrocodeChangedAscq)
            microcodeChanged = true;
        if (result != kScsiTargetError || sense[kSenseKeyByte] != kUnitAttention) break;
    }
    if (!followUp)
        Verdict(microcodeChanged,
                "%s scsi_debug reports the changed microcode (06/3F/16) after the update", part);
    // START STOP UNIT with Start 1 lets the drive answer again for the checks that follow.
    StartStopUnit(entry, 1, 0);
    ScsiResult result = kScsiOk;
    for (int i = 0; i < 6; ++i) {
        result = TestUnitReady(entry);
        if (result == kScsiOk) break;
        std::printf("  %s TEST UNIT READY after START UNIT -> %d %s\n", part, result,
                    Outcome().c_str());
    }
    Verdict(result == kScsiOk, "%s scsi_debug is ready again after START UNIT (got %d, %s)", part,
            result, Outcome().c_str());
}
