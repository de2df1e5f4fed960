#include "fake_aspi_manager.h"

#include <algorithm>
#include <cstring>

#include "platform/events.h"
#include "scsi/aspi_library.h"
#include "scsi/aspi_transport.h"

namespace drive_test {
namespace {

FakeAspiManager* current = nullptr;

FakeTarget* FindTarget(uint8_t adapter, uint8_t target) {
    if (adapter >= current->adapters.size()) return nullptr;
    auto& targets = current->adapters[adapter].targets;
    auto found = targets.find(target);
    return found == targets.end() ? nullptr : &found->second;
}

void HostAdapterInquiry(SRB_HAInquiry& srb) {
    current->hostAdapterInquiries.push_back(srb.SRB_HaId);
    if (srb.SRB_HaId >= current->adapters.size() || current->adapters[srb.SRB_HaId].inquiryFails) {
        srb.SRB_Status = SS_INVALID_HA;
        return;
    }
    srb.HA_Count = static_cast<uint8_t>(current->adapters.size());
    std::memcpy(srb.HA_Unique, current->adapters[srb.SRB_HaId].unique, sizeof srb.HA_Unique);
    srb.SRB_Status = SS_COMP;
}

void GetDeviceType(SRB_GDEVBlock& srb) {
    current->deviceTypeQueries.emplace_back(srb.SRB_HaId, srb.SRB_Target);
    const FakeTarget* target = FindTarget(srb.SRB_HaId, srb.SRB_Target);
    if (target == nullptr || target->deviceTypeFails) {
        srb.SRB_Status = SS_NO_DEVICE;
        return;
    }
    srb.SRB_DeviceType = target->deviceType;
    srb.SRB_Status = SS_COMP;
}

void Finish(SRB_ExecSCSICmd& srb, const FakeOutcome& outcome) {
    srb.SRB_HaStat = outcome.haStat;
    srb.SRB_TargStat = outcome.targStat;
    srb.SenseArea[2] = outcome.senseKey;
    srb.SRB_Status = outcome.status;
}

void Execute(SRB_ExecSCSICmd& srb) {
    ExecutedRequest record{};
    record.request = srb;
    const uint8_t direction = srb.SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
    if (direction == SRB_DIR_OUT && srb.SRB_BufLen > 0) {
        record.dataOut.assign(srb.SRB_BufPointer, srb.SRB_BufPointer + srb.SRB_BufLen);
    }
    current->executed.push_back(record);

    if (!current->queuedOutcomes.empty()) {
        Finish(srb, current->queuedOutcomes.front());
        current->queuedOutcomes.pop_front();
        return;
    }
    FakeTarget* target = FindTarget(srb.SRB_HaId, srb.SRB_Target);
    if (target == nullptr) {
        Finish(srb, {.status = SS_ERR, .haStat = HASTAT_SEL_TO, .targStat = 0, .senseKey = 0});
        return;
    }
    if (target->drive == nullptr) {
        if (direction == SRB_DIR_IN) {
            std::memcpy(srb.SRB_BufPointer, target->dataIn.data(),
                        std::min<size_t>(target->dataIn.size(), srb.SRB_BufLen));
        }
        Finish(srb, {});
        return;
    }
    const sim::Direction simDirection = direction == SRB_DIR_IN    ? sim::Direction::In
                                        : direction == SRB_DIR_OUT ? sim::Direction::Out
                                                                   : sim::Direction::None;
    const sim::Response response = target->drive->Execute(srb.CDBByte, srb.SRB_CDBLen, simDirection,
                                                          srb.SRB_BufPointer, srb.SRB_BufLen);
    if (response.outcome != sim::Response::Outcome::Completed) {
        Finish(srb, {.status = SS_ABORTED, .haStat = HASTAT_TIMEOUT, .targStat = 0, .senseKey = 0});
        return;
    }
    std::memcpy(srb.SenseArea, response.sense, SENSE_LEN);
    Finish(srb, {.status = response.status == 0 ? uint8_t{SS_COMP} : uint8_t{SS_ERR},
                 .haStat = 0,
                 .targStat = response.status,
                 .senseKey = response.sense[2]});
}

// The manager's two entry points. Every request completes before the call returns.
uint32_t SendCommand(void* request) {
    switch (static_cast<uint8_t*>(request)[0]) {
    case SC_HA_INQUIRY: HostAdapterInquiry(*static_cast<SRB_HAInquiry*>(request)); break;
    case SC_GET_DEV_TYPE: GetDeviceType(*static_cast<SRB_GDEVBlock*>(request)); break;
    case SC_EXEC_SCSI_CMD: Execute(*static_cast<SRB_ExecSCSICmd*>(request)); break;
    default: static_cast<uint8_t*>(request)[1] = SS_INVALID_CMD; break;
    }
    return static_cast<uint8_t*>(request)[1];
}

uint32_t SupportInfo() {
    return (uint32_t{SS_COMP} << 8) | static_cast<uint32_t>(current->adapters.size());
}

}  // namespace

ScopedFakeAspi::ScopedFakeAspi(FakeAspiManager& manager) {
    current = &manager;
    loader_.AddLibrary(kAspiLibraryName,
                       {{"GetASPI32SupportInfo", reinterpret_cast<void*>(&SupportInfo)},
                        {"SendASPI32Command", reinterpret_cast<void*>(&SendCommand)}});
    services_.emplace(&platform::Services::Libraries, &loader_);
    opened_ = AspiOpen() == 1;
}

ScopedFakeAspi::~ScopedFakeAspi() {
    AspiClose();
    services_.reset();
    current = nullptr;
}

}  // namespace drive_test
