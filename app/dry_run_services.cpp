#include "app/dry_run_services.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kExternalInquiry = 0x13;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kReadBuffer = 0x3C;
constexpr uint8_t kReadBoardInfo = 0xF5;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kWriteVendorData = 0xF0;
constexpr uint8_t kSecondaryArea = 0x81;
constexpr uint8_t kSecondaryCommit = 0x82;
constexpr uint8_t kSecondaryVersion = 0x84;

bool OnlyReads(uint8_t opcode) {
    return opcode == kTestUnitReady || opcode == kRequestSense || opcode == kInquiry ||
           opcode == kExternalInquiry || opcode == kReadBuffer || opcode == kReadBoardInfo;
}

uint32_t Bytes3(const std::vector<uint8_t>& cdb, size_t at) {
    if (cdb.size() < at + 3) return 0;
    return (uint32_t{cdb[at]} << 16) | (uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char part[4];
    for (uint8_t byte : bytes) {
        std::snprintf(part, sizeof part, "%s%02x", text.empty() ? "" : " ", byte);
        text += part;
    }
    return text;
}

std::string CommandName(const std::vector<uint8_t>& cdb) {
    char text[96];
    const uint8_t opcode = cdb.empty() ? 0xFF : cdb[0];
    switch (opcode) {
    case kTestUnitReady: return "TEST UNIT READY";
    case kRequestSense: return "REQUEST SENSE";
    case kInquiry: return "INQUIRY";
    case kExternalInquiry: return "INQUIRY (external drive)";
    case kStartStopUnit:
        std::snprintf(text, sizeof text, "START STOP UNIT %s",
                      cdb.size() > 4 && (cdb[4] & 0x03) == 0x02 ? "(open the tray)" : "");
        return text;
    case kWriteBuffer:
    case kReadBuffer:
        std::snprintf(text, sizeof text, "%s mode %u buffer 0x%02x offset 0x%06x length %u",
                      opcode == kWriteBuffer ? "WRITE BUFFER" : "READ BUFFER",
                      cdb.size() > 1 ? cdb[1] & 0x1F : 0, cdb.size() > 2 ? cdb[2] : 0,
                      Bytes3(cdb, 3), Bytes3(cdb, 6));
        return text;
    case kReadBoardInfo: return "READ BOARD INFO";
    case kWriteVendorData: return "WRITE VENDOR DATA";
    default: std::snprintf(text, sizeof text, "command 0x%02x", opcode); return text;
    }
}

}  // namespace

std::string DescribeStep(const PlannedStep& step) {
    char text[64];
    switch (step.Type) {
    case PlannedStep::Kind::Wait:
        std::snprintf(text, sizeof text, "wait       %u ms", step.Length);
        return text;
    case PlannedStep::Kind::Sent:
        return "sent       " + CommandName(step.Cdb) + "  [" + Hex(step.Cdb) + "]";
    case PlannedStep::Kind::NotSent: break;
    }
    return "not sent   " + CommandName(step.Cdb) + "  [" + Hex(step.Cdb) + "]";
}

void DryRunPlan::Add(PlannedStep step) {
    std::lock_guard<std::mutex> lock(mutex_);
    steps_.push_back(std::move(step));
}

std::vector<PlannedStep> DryRunPlan::Steps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
}

DryRunDriveBus::DryRunDriveBus(platform::DriveBus& drives, DryRunPlan& plan,
                               std::string secondaryVersion)
    : drives_(drives), plan_(plan), secondaryVersion_(std::move(secondaryVersion)) {}

platform::DriveHandle DryRunDriveBus::Open(char letter, bool /*readWrite*/) {
    // Reading is all the dry run does with the drive: a user without write access can see
    // the plan too.
    return drives_.Open(letter, false);
}

bool DryRunDriveBus::AnswerFromPlan(platform::PassThroughBlock& block) {
    const platform::ScsiPassThroughDirect& sptd = block.Sptd;
    const uint8_t bufferId = sptd.Cdb[2];
    const uint32_t offset =
        (uint32_t{sptd.Cdb[3]} << 16) | (uint32_t{sptd.Cdb[4]} << 8) | sptd.Cdb[5];
    auto* data = static_cast<uint8_t*>(sptd.DataBuffer);
    if (data == nullptr) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (bufferId == kSecondaryVersion && committed_) {
        // After the commit the drive would report the package's version.
        std::memset(data, 0, sptd.DataTransferLength);
        std::memcpy(data, secondaryVersion_.data(),
                    std::min<size_t>(secondaryVersion_.size(), sptd.DataTransferLength));
        return true;
    }
    auto written = written_.find(bufferId);
    if (bufferId != kSecondaryArea || written == written_.end()) return false;
    // The read-back gives what the plan wrote, as a drive that took it would.
    std::memset(data, 0, sptd.DataTransferLength);
    const std::vector<uint8_t>& bytes = written->second;
    if (offset < bytes.size())
        std::memcpy(data, bytes.data() + offset,
                    std::min<size_t>(bytes.size() - offset, sptd.DataTransferLength));
    return true;
}

bool DryRunDriveBus::Send(platform::DriveHandle handle, platform::PassThroughBlock& block,
                          uint32_t* systemError) {
    platform::ScsiPassThroughDirect& sptd = block.Sptd;
    PlannedStep step;
    step.Cdb.assign(sptd.Cdb, sptd.Cdb + std::min<size_t>(sptd.CdbLength, sizeof sptd.Cdb));
    step.Length = sptd.DataTransferLength;
    const uint8_t opcode = sptd.Cdb[0];

    if (OnlyReads(opcode)) {
        if (opcode == kReadBuffer && AnswerFromPlan(block)) {
            step.Type = PlannedStep::Kind::NotSent;
            plan_.Add(step);
            sptd.ScsiStatus = 0;
            std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
            return true;
        }
        step.Type = PlannedStep::Kind::Sent;
        plan_.Add(step);
        return drives_.Send(handle, block, systemError);
    }

    step.Type = PlannedStep::Kind::NotSent;
    plan_.Add(step);
    if (opcode == kWriteBuffer) {
        const uint8_t bufferId = sptd.Cdb[2];
        const uint32_t offset =
            (uint32_t{sptd.Cdb[3]} << 16) | (uint32_t{sptd.Cdb[4]} << 8) | sptd.Cdb[5];
        std::lock_guard<std::mutex> lock(mutex_);
        if (bufferId == kSecondaryCommit) committed_ = true;
        if (bufferId == kSecondaryArea && sptd.DataBuffer != nullptr) {
            std::vector<uint8_t>& bytes = written_[bufferId];
            if (bytes.size() < offset + sptd.DataTransferLength)
                bytes.resize(offset + sptd.DataTransferLength);
            std::memcpy(bytes.data() + offset, sptd.DataBuffer, sptd.DataTransferLength);
        }
    }
    sptd.ScsiStatus = 0;
    std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
    return true;
}

namespace {

// A timed wait that nobody ends early is written into the plan instead of waited for.
class PlannedWaitEvent final : public platform::Event {
public:
    PlannedWaitEvent(std::unique_ptr<platform::Event> event, DryRunPlan& plan)
        : event_(std::move(event)), plan_(plan) {}
    void Signal() override { event_->Signal(); }
    bool Wait(uint32_t timeoutMs) override {
        if (timeoutMs == platform::kWaitInfinite || timeoutMs == 0) return event_->Wait(timeoutMs);
        if (event_->Wait(0)) return true;
        plan_.Add({PlannedStep::Kind::Wait, {}, timeoutMs});
        return false;
    }
    void Reset() override { event_->Reset(); }
    intptr_t NativeHandle() const override { return event_->NativeHandle(); }

private:
    std::unique_ptr<platform::Event> event_;
    DryRunPlan& plan_;
};

}  // namespace

std::unique_ptr<platform::Event> DryRunEvents::CreateAutoResetEvent() {
    std::unique_ptr<platform::Event> event = events_.CreateAutoResetEvent();
    if (!event) return event;
    return std::make_unique<PlannedWaitEvent>(std::move(event), plan_);
}
