#include "scsi/aspi_execute.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "platform/scsi_codes.h"
#include "scsi/aligned_buffer.h"
#include "scsi/aspi_library.h"
#include "scsi/command_run.h"
#include "scsi/command_status.h"

namespace {

// The execute request, which is at the same time this transport's outcome record.
SRB_ExecSCSICmd executeRequest;

constexpr uint8_t kHaStatDataOverUnderrun = HASTAT_DO_DU;
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusConditionMet = 0x04;

// The manager completes the request either before SendASPI32Command returns or on a
// request thread of its own, and writes the status byte last; reading it with acquire
// ordering makes the other fields it wrote visible.
uint8_t LoadStatus() {
    return std::atomic_ref<uint8_t>(executeRequest.SRB_Status).load(std::memory_order_acquire);
}

// The request ran out of time: ask the manager to give it up, so that it can no longer
// write into the data buffer (freed when this call returns), the record or the event.
// Our manager then reports SS_ABORTED; a manager that cannot abort leaves the request
// pending, and it is marked aborted here, so the command reads as failed ("SRB aborted.")
// and never as a success.
void GiveUp() {
    SRB_Abort abort{};
    abort.SRB_Cmd = SC_ABORT_SRB;
    abort.SRB_HaId = executeRequest.SRB_HaId;
    abort.SRB_ToAbort = &executeRequest;
    TheAspiLibrary.SendCommand(&abort);
    if (LoadStatus() == SS_PENDING)
        std::atomic_ref<uint8_t>(executeRequest.SRB_Status)
            .store(SS_ABORTED, std::memory_order_relaxed);
}

// A target status other than GOOD is the target's error when it comes with sense data,
// and also without sense data unless it is CONDITION MET: BUSY or RESERVATION CONFLICT
// means the command was not carried out, and would otherwise read as success (or as a
// request error without any text) although, say, a chunk never reached the drive.
bool TargetFailed(const SRB_ExecSCSICmd& request) {
    if (request.SRB_TargStat == kStatusGood) return false;
    return request.SenseArea[kSenseKeyByte] != 0 || request.SRB_TargStat != kStatusConditionMet;
}

// Waits for the manager to complete the pending request; false when it does not within
// the limit. A signal that leaves the request pending can only come from a faulty manager
// and is treated like a request that never completes, with one exception: a run's event
// (`keptEvent`) is not reset between requests (a system call per command), so it may still
// hold the signal of an earlier request that completed before its call returned, and one
// such wake-up is waited past.
bool AwaitCompletion(platform::Event& event, bool keptEvent) {
    bool signalled = event.Wait(kAspiWaitLimitMs);
    if (signalled && keptEvent && LoadStatus() == SS_PENDING)
        signalled = event.Wait(kAspiWaitLimitMs);
    return signalled && LoadStatus() != SS_PENDING;
}

ScsiResult ResultOf(const SRB_ExecSCSICmd& request) {
    ScsiResult result = kScsiOk;
    if (request.SRB_Status != SS_PENDING && request.SRB_Status != SS_COMP)
        result = kScsiAspiStatusError;
    if (request.SRB_HaStat != HASTAT_OK && request.SRB_HaStat != kHaStatDataOverUnderrun)
        result = kScsiAdapterError;
    if (TargetFailed(request)) result = kScsiTargetError;
    return result;
}

}  // namespace

ScsiResult AspiExecute(const DriveEntry& entry, uint8_t* buffer, uint32_t length,
                       const uint8_t* cdb, uint8_t cdbLength, uint8_t flags) {
    CommandStatus = &executeRequest;

    // ATAPI devices take only 12-byte command blocks.
    if (entry.Atapi == 1) cdbLength = scsi::kCdbSize;

    // The run's event when there is one, else an event of this command's own.
    std::unique_ptr<platform::Event> ownEvent;
    platform::Event* event = KeptCompletionEvent();
    if (event == nullptr) {
        ownEvent = platform::Platform().Events->CreateAutoResetEvent();
        event = ownEvent.get();
    }
    if (event == nullptr) return kScsiNoSystemObject;

    uint8_t* data = buffer;
    uint8_t* outgoingCopy = nullptr;
    if ((flags & kDirOut) != 0) {
        outgoingCopy = AllocAligned(length, entry.AlignMask);
        if (outgoingCopy == nullptr) return kScsiNoMemory;
        if (length > 0) std::memcpy(outgoingCopy, buffer, length);
        data = outgoingCopy;
    }

    std::memset(&executeRequest, 0, sizeof executeRequest);
    executeRequest.SRB_Cmd = SC_EXEC_SCSI_CMD;
    executeRequest.SRB_HaId = entry.HaId;
    executeRequest.SRB_Flags = static_cast<uint8_t>(flags | SRB_EVENT_NOTIFY);
    executeRequest.SRB_Hdr_Rsvd = 0;
    executeRequest.SRB_Target = entry.Target;
    executeRequest.SRB_Lun = entry.Lun;
    executeRequest.SRB_BufLen = length;
    executeRequest.SRB_BufPointer = data;
    executeRequest.SRB_SenseLen = kStatusSenseBytes;
    executeRequest.SRB_CDBLen = cdbLength;
    executeRequest.SRB_PostProc = reinterpret_cast<void*>(event->NativeHandle());
    // The caller's block is 12 bytes long; nothing past it is read.
    std::memcpy(executeRequest.CDBByte, cdb,
                cdbLength < scsi::kCdbSize ? cdbLength : scsi::kCdbSize);

    if (TheAspiLibrary.SendCommand == nullptr) {
        executeRequest.SRB_Status = SS_NO_ASPI;
    } else {
        TheAspiLibrary.SendCommand(&executeRequest);
        if (LoadStatus() == SS_PENDING && !AwaitCompletion(*event, ownEvent == nullptr)) {
            GiveUp();
            DiscardCompletionEvent();
        }
    }

    const ScsiResult result = ResultOf(executeRequest);
    FreeAligned(outgoingCopy);
    return result;
}
