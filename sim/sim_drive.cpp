// Command dispatch of the simulated drive: logging, injected faults, the minimum block
// length of each opcode, and the routing of each opcode to its handler.
#include "sim/sim_drive.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "sim/basic_commands.h"
#include "sim/drive_state.h"
#include "sim/fault_matching.h"
#include "sim/flash.h"
#include "sim/responses.h"
#include "sim/secondary_image.h"
#include "sim/vendor_commands.h"

namespace sim {

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kExternalInquiry = 0x13;  // the vendor's inquiry for external drives
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kReadBuffer = 0x3C;
constexpr uint8_t kWriteVendorData = 0xF0;
constexpr uint8_t kReadBoardInfo = 0xF5;

// The standard length of each known opcode's command block; 0 for unknown opcodes.
size_t BlockLength(uint8_t opcode) {
    switch (opcode) {
    case kTestUnitReady:
    case kRequestSense:
    case kInquiry:
    case kExternalInquiry:
    case kStartStopUnit: return 6;
    case kWriteBuffer:
    case kReadBuffer: return 10;
    case kWriteVendorData:
    case kReadBoardInfo: return 12;
    default: return 0;
    }
}

Response Outcome(Response::Outcome outcome) {
    Response response;
    response.outcome = outcome;
    return response;
}

Response Dispatch(DriveState& state, const Request& request) {
    const uint8_t opcode = request.cdb[0];
    const size_t needed = BlockLength(opcode);
    if (needed == 0) {
        return CheckCondition(state, sense::kInvalidOpcode);
    }
    if (request.cdbLength < needed) {
        return CheckCondition(state, sense::kInvalidField);
    }
    // While the flash is being programmed the drive still identifies itself and reports
    // why it is not ready; everything else waits for the end of the programming.
    if (state.programming && opcode != kInquiry && opcode != kExternalInquiry &&
        opcode != kRequestSense) {
        return CheckCondition(state, sense::kProgramming);
    }
    switch (opcode) {
    case kTestUnitReady: return TestUnitReady(state);
    case kRequestSense: return RequestSense(state, request);
    case kInquiry:
    case kExternalInquiry: return Inquiry(state, request);
    case kStartStopUnit: return StartStopUnit(state, request);
    case kWriteBuffer: {
        const uint8_t mode = request.cdb[1];
        if (mode == 4 || mode == 5) {
            return DownloadMicrocode(state, request);
        }
        if (mode == 0) {
            return SecondaryWriteBuffer(state, request);
        }
        return CheckCondition(state, sense::kInvalidField);
    }
    case kReadBuffer: return SecondaryReadBuffer(state, request);
    case kReadBoardInfo: return ReadBoardInfo(state, request);
    case kWriteVendorData: return WriteVendorData(state, request);
    default: return CheckCondition(state, sense::kInvalidOpcode);
    }
}

Response Apply(DriveState& state, const Fault& fault) {
    switch (fault.effect) {
    case FaultEffect::Sense: return CheckCondition(state, fault.sense);
    case FaultEffect::Busy: return Busy();
    case FaultEffect::TimeOut: return Outcome(Response::Outcome::TimedOut);
    case FaultEffect::Vanish: state.vanished = true; return Outcome(Response::Outcome::Vanished);
    }
    return Outcome(Response::Outcome::TimedOut);
}

}  // namespace

Drive::Drive(const DriveDescription& description)
    : state_(std::make_unique<DriveState>(description)) {}

Drive::~Drive() = default;

void LateAnswer::Await() const {
    if (late.count() <= 0) return;
    if (time) {
        time->Pass(late);
    } else {
        std::this_thread::sleep_for(late);
    }
}

LateAnswer Drive::Start(const uint8_t* cdb, size_t cdbLength, Direction direction, uint8_t* data,
                        uint32_t length) {
    LateAnswer answer;
    std::lock_guard lock(mutex_);
    DriveState& state = *state_;
    LoggedCommand entry{{}, direction, length};
    if (cdb != nullptr) {
        entry.cdb.assign(cdb, cdb + cdbLength);
    }
    state.log.push_back(std::move(entry));
    if (state.vanished) {
        answer.response = Outcome(Response::Outcome::Vanished);
    } else if (cdb == nullptr || cdbLength == 0 || cdbLength > 16) {
        answer.response = CheckCondition(state, sense::kInvalidOpcode);
    } else {
        const Request request{cdb, cdbLength, direction, data, length};
        if (const Fault* fault = CountAndMatchFault(state, request)) {
            answer.response = Apply(state, *fault);
        } else {
            SettleProgramming(state);
            answer.response = Dispatch(state, request);
            answer.late = std::chrono::milliseconds(std::exchange(state.answerDelayMs, 0));
            answer.time = state.time;
        }
    }
    return answer;
}

Response Drive::Execute(const uint8_t* cdb, size_t cdbLength, Direction direction, uint8_t* data,
                        uint32_t length) {
    const LateAnswer answer = Start(cdb, cdbLength, direction, data, length);
    // Answering late is modelled outside the lock so that tests can still read the log.
    answer.Await();
    return answer.response;
}

std::vector<LoggedCommand> Drive::Log() const {
    std::lock_guard lock(mutex_);
    return state_->log;
}

std::string Drive::Revision() const {
    std::lock_guard lock(mutex_);
    SettleProgramming(*state_);
    return state_->revision;
}

std::vector<uint8_t> Drive::VendorMemory(uint32_t address, uint32_t length) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i) {
        bytes[i] = MemoryByte(*state_, address + i);
    }
    return bytes;
}

std::string Drive::SecondaryVersion() const {
    std::lock_guard lock(mutex_);
    return state_->secondaryVersion;
}

std::vector<uint8_t> Drive::CommittedSecondaryImage() const {
    std::lock_guard lock(mutex_);
    return state_->secondaryCommitted;
}

uint32_t Drive::FlashCount() const {
    std::lock_guard lock(mutex_);
    SettleProgramming(*state_);
    return state_->flashes;
}

void Drive::UseTimeSource(std::shared_ptr<TimeSource> time) {
    std::lock_guard lock(mutex_);
    state_->time = std::move(time);
}

std::vector<uint8_t> Drive::FlashedImage() const {
    std::lock_guard lock(mutex_);
    return state_->flashedImage;
}

void Drive::AdvanceClock(std::chrono::milliseconds step) {
    std::lock_guard lock(mutex_);
    state_->clockOffset += step;
}

}  // namespace sim
