// The secondary image: written only when the drive holds another version than the
// package's, then read back and compared, committed, and its version checked again.
#include "update/secondary_image.h"

#include <cstring>
#include <memory>
#include <new>

#include "config/program_values.h"
#include "config/update_config.h"
#include "drive/commands.h"
#include "platform/events.h"
#include "scsi/drive_entry.h"
#include "update/worker_state.h"

namespace {

constexpr uint32_t kSkippedHead = 0x3400;  // never sent: the drive keeps its own start
constexpr uint32_t kVersionLength = 7;
constexpr uint8_t kModeData = 0;
constexpr uint8_t kVersionBuffer = 0x84;
constexpr uint8_t kBeginBuffer = 0x80;
constexpr uint8_t kAreaBuffer = 0x81;
constexpr uint8_t kCommitBuffer = 0x82;
constexpr int kAttempts = 4;
constexpr uint32_t kToleratedMismatches = 3;  // differing bytes over all read-backs of a call
constexpr uint32_t kPauseBeforeBeginMs = 100;

// Reads the drive's version into `buffer`; sets *same when it is the package's.
ScsiResult ReadVersion(const DriveEntry& entry, uint8_t* buffer, bool* same) {
    const ScsiResult result =
        ReadBuffer(entry, buffer, kVersionLength, 0, kModeData, kVersionBuffer);
    *same = result == kScsiOk && std::memcmp(buffer, Config.EpsVersion, kVersionLength) == 0;
    return result;
}

ScsiResult Begin(const DriveEntry& entry) {
    return WriteBuffer(entry, nullptr, 0, 0, kModeData, kBeginBuffer);
}

// Repeats `command` up to four times, beginning again before each retry; the result of the
// last attempt otherwise.
template <typename Command>
ScsiResult WithRetries(const DriveEntry& entry, Command command) {
    ScsiResult result = kScsiOk;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        result = command();
        if (result == kScsiOk) return kScsiOk;
        if (attempt < kAttempts) Begin(entry);
    }
    return result;
}

}  // namespace

ScsiResult UpdateSecondaryImage() {
    if (Config.EpsSize <= kSkippedHead) return kScsiOk;
    const DriveEntry& entry = DriveTable[SelectedDrive];
    const uint32_t length = Config.EpsSize - kSkippedHead;

    // Released on every return below.
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[Config.EpsSize]);
    if (buffer == nullptr) return kScsiNoMemory;
    // The configuration loads an image of EpsSize bytes; without one nothing is sent.
    if (Config.EpsImage == nullptr) return kScsiUpdateFailure;
    const uint8_t* area = Config.EpsImage + kSkippedHead;

    bool same = false;
    ScsiResult result = ReadVersion(entry, buffer.get(), &same);
    if (result != kScsiOk) return result;
    if (same) return kScsiOk;

    WorkerState.store(kWorkerSecondaryImage, std::memory_order_release);
    SleepMs(kPauseBeforeBeginMs);
    result = Begin(entry);
    if (result != kScsiOk) return result;

    uint32_t mismatches = 0;
    for (;;) {
        result = WithRetries(entry, [&] {
            return WriteBuffer(entry, area, length, kSkippedHead, kModeData, kAreaBuffer);
        });
        if (result != kScsiOk) return result;
        result = WithRetries(entry, [&] {
            return ReadBuffer(entry, buffer.get(), length, kSkippedHead, kModeData, kAreaBuffer);
        });
        if (result != kScsiOk) return result;

        bool differed = false;
        for (uint32_t i = 0; i < length; ++i) {
            if (buffer[i] == area[i]) continue;
            differed = true;
            if (++mismatches > kToleratedMismatches) return kScsiCompareFailure;
        }
        // A read-back with a few differing bytes makes the whole area written again.
        if (!differed) break;
    }

    result = WriteBuffer(entry, nullptr, 0, 0, kModeData, kCommitBuffer);
    if (result != kScsiOk) return result;
    result = ReadVersion(entry, buffer.get(), &same);
    if (result != kScsiOk) return result;
    return same ? kScsiOk : kScsiUpdateFailure;
}
