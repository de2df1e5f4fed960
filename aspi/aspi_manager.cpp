#include "aspi/aspi_manager.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "aspi/status_mapping.h"
#include "platform/linux/linux_events.h"

namespace aspi {

namespace {

constexpr uint8_t kAdapterScsiId = 7;
constexpr uint8_t kUnknownDeviceType = 0x1F;
constexpr char kManagerId[] = "ZVASPI32 LINUX";

// Execute requests are read and completed across threads: the status byte is the one
// that announces completion, so it is stored last, with release ordering.
void StoreStatus(SRB_ExecSCSICmd& request, uint8_t status) {
    std::atomic_ref<uint8_t>(request.SRB_Status).store(status, std::memory_order_release);
}

void CopyPadded(uint8_t (&field)[16], const std::string& text) {
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

// A copy of the caller's event descriptor that is close-on-exec from the moment it
// exists, so that a program forking in another thread never passes it on.
int DuplicateCloseOnExec(int descriptor) {
    const int copy = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
#if defined(__SANITIZE_THREAD__)
    // The thread checker follows dup3 but not fcntl: pointing the copy at the event once
    // more (atomic, still close-on-exec) lets it see the signal on the copy as the
    // completion it is. The kernel gains nothing from it, so other builds skip the call.
    if (copy >= 0) dup3(descriptor, copy, O_CLOEXEC);
#endif
    return copy;
}

}  // namespace

// One execute request in flight. The manager works on its own copies of the command and
// the data, so that a request the caller has given up (SC_ABORT_SRB) can go on inside the
// device without touching the caller's memory or event any more. Outgoing data is not
// copied when the bus has taken it by the time Start returns: nothing reads the caller's
// buffer after that.
struct Manager::Job {
    std::mutex mutex;
    bool finished = false;  // results delivered, or given up by the caller
    SRB_ExecSCSICmd* request = nullptr;
    uint8_t* callerBuffer = nullptr;
    DataDirection direction = DataDirection::None;
    uint32_t length = 0;        // data bytes the request moves
    std::vector<uint8_t> data;  // the manager's copy; empty for outgoing data the bus takes
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    uint8_t senseLength = 0;
    int adapter = 0;
    std::unique_ptr<StartedCommand> command;  // the command as the device has it
    int event = -1;  // our own duplicate of the caller's event descriptor, or -1

    ~Job() {
        if (event >= 0) close(event);
    }
};

Manager::Manager(std::unique_ptr<Bus> bus) : shared_(std::make_shared<Shared>()), bus_(*bus) {
    shared_->bus = std::move(bus);
}

Manager::~Manager() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closing = true;
    for (auto& [adapter, queue] : shared_->queues) queue.work.notify_all();
}

uint32_t Manager::SupportInfo() const {
    const int count = std::min(bus_.AdapterCount(), 255);
    if (count == 0) return static_cast<uint32_t>(SS_NO_ADAPTERS) << 8;
    return (static_cast<uint32_t>(SS_COMP) << 8) | static_cast<uint32_t>(count);
}

uint32_t Manager::Send(void* srb) {
    if (srb == nullptr) return SS_INVALID_SRB;
    uint8_t* header = static_cast<uint8_t*>(srb);
    try {
        switch (header[0]) {
        case SC_HA_INQUIRY: HostAdapterInquiry(*static_cast<SRB_HAInquiry*>(srb)); break;
        case SC_GET_DEV_TYPE: GetDeviceType(*static_cast<SRB_GDEVBlock*>(srb)); break;
        case SC_EXEC_SCSI_CMD: return Execute(*static_cast<SRB_ExecSCSICmd*>(srb));
        case SC_ABORT_SRB: Abort(*static_cast<SRB_Abort*>(srb)); break;
        default: header[1] = SS_INVALID_CMD; break;
        }
    } catch (...) {
        // Nothing may leave through the C interface; what can throw here is allocation.
        header[1] = SS_ASPI_IS_BUSY;
    }
    return header[1];
}

void Manager::HostAdapterInquiry(SRB_HAInquiry& request) const {
    request.HA_Count = static_cast<uint8_t>(std::min(bus_.AdapterCount(), 255));
    AdapterInfo info;
    if (!bus_.Adapter(request.SRB_HaId, &info)) {
        request.SRB_Status = SS_INVALID_HA;
        return;
    }
    request.HA_SCSI_ID = kAdapterScsiId;
    CopyPadded(request.HA_ManagerId, kManagerId);
    CopyPadded(request.HA_Identifier, info.identifier);
    std::memset(request.HA_Unique, 0, sizeof request.HA_Unique);
    request.HA_Unique[0] = static_cast<uint8_t>(info.alignMask & 0xFF);
    request.HA_Unique[1] = static_cast<uint8_t>(info.alignMask >> 8);
    request.HA_Unique[3] = info.maxTargets == 8 ? 0 : info.maxTargets;
    for (int i = 0; i < 4; ++i)  // bytes 4..7: the largest transfer, little-endian
        request.HA_Unique[4 + i] = static_cast<uint8_t>(kMaxTransferLength >> (8 * i));
    request.SRB_Status = SS_COMP;
}

void Manager::GetDeviceType(SRB_GDEVBlock& request) const {
    if (request.SRB_HaId >= bus_.AdapterCount()) {
        request.SRB_Status = SS_INVALID_HA;
        return;
    }
    uint8_t type = 0;
    if (!bus_.DeviceType(request.SRB_HaId, request.SRB_Target, request.SRB_Lun, &type)) {
        request.SRB_DeviceType = kUnknownDeviceType;
        request.SRB_Status = SS_NO_DEVICE;
        return;
    }
    request.SRB_DeviceType = type;
    request.SRB_Status = SS_COMP;
}

uint8_t Manager::Execute(SRB_ExecSCSICmd& request) {
    request.SRB_HaStat = 0;
    request.SRB_TargStat = 0;
    const auto refuse = [&request](uint8_t status) {
        StoreStatus(request, status);
        return status;
    };
    if (request.SRB_HaId >= bus_.AdapterCount()) return refuse(SS_INVALID_HA);
    if (!bus_.HasDevice(request.SRB_HaId, request.SRB_Target, request.SRB_Lun))
        return refuse(SS_NO_DEVICE);
    const uint8_t directionBits = request.SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
    if (directionBits == (SRB_DIR_IN | SRB_DIR_OUT)) return refuse(SS_INVALID_SRB);
    if (request.SRB_CDBLen == 0 || request.SRB_CDBLen > sizeof request.CDBByte)
        return refuse(SS_INVALID_SRB);
    const DataDirection direction = directionBits == SRB_DIR_IN    ? DataDirection::In
                                    : directionBits == SRB_DIR_OUT ? DataDirection::Out
                                                                   : DataDirection::None;
    const uint32_t length = direction == DataDirection::None ? 0 : request.SRB_BufLen;
    if (length > 0 && request.SRB_BufPointer == nullptr) return refuse(SS_INVALID_SRB);
    if (length > kMaxTransferLength) return refuse(SS_BUFFER_TO_BIG);

    auto job = std::make_shared<Job>();
    job->request = &request;
    job->callerBuffer = request.SRB_BufPointer;
    job->direction = direction;
    job->length = length;
    const bool outgoingTaken = direction == DataDirection::Out && bus_.StartTakesOutgoingData();
    if (direction == DataDirection::Out && !outgoingTaken)
        job->data.assign(request.SRB_BufPointer, request.SRB_BufPointer + length);
    else if (direction == DataDirection::In)
        job->data.resize(length);
    uint8_t* const data = outgoingTaken ? request.SRB_BufPointer : job->data.data();
    std::memcpy(job->cdb, request.CDBByte, request.SRB_CDBLen);
    job->cdbLength = request.SRB_CDBLen;
    job->senseLength = std::min<uint8_t>(request.SRB_SenseLen, sizeof request.SenseArea);
    job->adapter = request.SRB_HaId;
    const bool notify = (request.SRB_Flags & SRB_EVENT_NOTIFY) != 0;
    const int callerEvent =
        notify ? static_cast<int>(reinterpret_cast<intptr_t>(request.SRB_PostProc)) : -1;

    // The adapter's request thread must exist before anything reaches the device: a
    // command in flight can no longer be refused.
    if (!Serve(job->adapter)) return refuse(SS_ASPI_IS_BUSY);
    job->command = bus_.Start(request.SRB_HaId, request.SRB_Target, request.SRB_Lun, job->cdb,
                              job->cdbLength, direction, data, length);

    // A command the device answered while it was handed over completes here, on the
    // caller's thread: waking a request thread would cost more than the command did.
    DeviceOutcome outcome;
    if (job->command->TryCollect(&outcome)) {
        Deliver(*job, outcome, callerEvent);
        return request.SRB_Status;
    }

    if (notify) {
        // The caller closes its descriptor when it stops waiting; ours stays valid (and
        // names the same event) until the job is over, so a late signal never lands on a
        // descriptor number that was reused for something else.
        job->event = DuplicateCloseOnExec(callerEvent);
        if (job->event < 0) {
            // No descriptor left for a copy: the command is in the device already, so the
            // caller's thread waits for the answer itself.
            Deliver(*job, job->command->Collect(), callerEvent);
            return request.SRB_Status;
        }
    }
    StoreStatus(request, SS_PENDING);
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->pending[&request] = job;
    AdapterQueue& queue = shared_->queues[job->adapter];
    queue.jobs.push_back(job);
    lock.unlock();
    queue.work.notify_one();
    return SS_PENDING;
}

bool Manager::Serve(int adapter) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    AdapterQueue& queue = shared_->queues[adapter];
    if (queue.served) return true;
    // A thread per adapter rather than per request: starting a thread costs more than most
    // commands, and one adapter's answers are collected one after the other.
    try {
        std::thread([shared = shared_, adapter] { CollectAnswers(shared, adapter); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    queue.served = true;
    return true;
}

void Manager::CollectAnswers(const std::shared_ptr<Shared>& shared, int adapter) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    AdapterQueue& queue = shared->queues[adapter];
    for (;;) {
        queue.work.wait(lock, [&] { return !queue.jobs.empty() || shared->closing; });
        if (queue.jobs.empty()) return;
        const std::shared_ptr<Job> job = std::move(queue.jobs.front());
        queue.jobs.pop_front();
        lock.unlock();
        Deliver(*job, job->command->Collect(), job->event);
        Forget(*shared, job);
        lock.lock();
    }
}

void Manager::Deliver(Job& job, const DeviceOutcome& outcome, int event) {
    const AspiStatus status = MapDeviceOutcome(outcome, job.length);
    std::lock_guard<std::mutex> lock(job.mutex);
    // A request the caller gave up keeps its outcome to itself.
    if (job.finished) return;
    SRB_ExecSCSICmd& request = *job.request;
    if (job.direction == DataDirection::In && outcome.transferred > 0)
        std::memcpy(job.callerBuffer, job.data.data(),
                    std::min<size_t>(outcome.transferred, job.data.size()));
    std::memset(request.SenseArea, 0, job.senseLength);
    // A command without sense data leaves the vector empty and its data() null, which
    // memcpy must not be given even for no bytes.
    if (!outcome.sense.empty())
        std::memcpy(request.SenseArea, outcome.sense.data(),
                    std::min<size_t>(outcome.sense.size(), job.senseLength));
    request.SRB_HaStat = status.haStat;
    request.SRB_TargStat = status.targStat;
    StoreStatus(request, status.srbStatus);
    job.finished = true;
    if (event >= 0) platform::SignalNativeEvent(event);
}

void Manager::Abort(SRB_Abort& request) {
    std::shared_ptr<Job> job;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        const auto found = shared_->pending.find(request.SRB_ToAbort);
        if (found != shared_->pending.end()) job = found->second;
    }
    if (job == nullptr) {
        request.SRB_Status = SS_ABORT_FAIL;
        return;
    }
    std::lock_guard<std::mutex> lock(job->mutex);
    if (job->finished) {
        request.SRB_Status = SS_ABORT_FAIL;
        return;
    }
    // The device may still be busy with the command; its outcome is dropped when it comes.
    job->finished = true;
    StoreStatus(*job->request, SS_ABORTED);
    request.SRB_Status = SS_COMP;
}

void Manager::Forget(Shared& shared, const std::shared_ptr<Job>& job) {
    std::lock_guard<std::mutex> lock(shared.mutex);
    const auto found = shared.pending.find(job->request);
    if (found != shared.pending.end() && found->second == job) shared.pending.erase(found);
}

}  // namespace aspi
