// INQUIRY, TEST UNIT READY, REQUEST SENSE and START STOP UNIT: identity, tray and medium.
#include "sim/basic_commands.h"

#include <algorithm>
#include <cstring>

#include "sim/responses.h"

namespace sim {

namespace {

constexpr uint32_t kInquiryLength = 36;
constexpr uint32_t kSenseLength = 18;

}  // namespace

Response Inquiry(DriveState& state, const Request& request) {
    if (request.cdb[1] & 0x01) {  // vital product data pages are not offered
        return CheckCondition(state, sense::kInvalidField);
    }
    const DriveDescription& drive = state.description;
    uint8_t answer[kInquiryLength] = {};
    answer[0] = drive.deviceType;
    answer[1] = 0x80;  // removable medium
    answer[3] = drive.inquiryByte3;
    answer[4] = kInquiryLength - 5;  // additional length
    std::memcpy(answer + 8, drive.vendor.data(), 8);
    std::memcpy(answer + 16, drive.product.data(), 16);
    std::memcpy(answer + 32, state.revision.data(), 4);
    // An unsettled drive answers with one byte garbled; consecutive garbled answers
    // differ in different bytes, so no two of them agree with each other or with a
    // clean answer.
    if (state.inquiries < drive.inquiryFlaps) {
        answer[8 + state.inquiries % 28] ^= 0x01;
    }
    ++state.inquiries;

    const uint32_t wanted = std::min<uint32_t>(request.cdb[4], kInquiryLength);
    if (!CanReturnData(request, wanted)) {
        return CheckCondition(state, sense::kInvalidField);
    }
    const uint32_t sent = std::min(wanted, request.length);
    if (sent > 0) {
        std::memcpy(request.data, answer, sent);
    }
    return Good(sent);
}

Response TestUnitReady(DriveState& state) {
    if (state.trayOpen) {
        return CheckCondition(state, sense::kTrayOpen);
    }
    if (!state.discPresent) {
        return CheckCondition(state, sense::kTrayClosedNoMedium);
    }
    return Good();
}

Response RequestSense(DriveState& state, const Request& request) {
    const SenseCode code = state.programming ? sense::kProgramming : state.lastSense;
    state.lastSense = {};
    Response carrier = Good();
    carrier.sense[0] = 0x70;
    carrier.sense[2] = code.key;
    carrier.sense[7] = 10;
    carrier.sense[12] = code.asc;
    carrier.sense[13] = code.ascq;

    const uint32_t wanted = std::min<uint32_t>(request.cdb[4], kSenseLength);
    if (!CanReturnData(request, wanted)) {
        return CheckCondition(state, sense::kInvalidField);
    }
    const uint32_t sent = std::min(wanted, request.length);
    if (sent > 0) {
        std::memcpy(request.data, carrier.sense, sent);
    }
    return Good(sent);
}

Response StartStopUnit(DriveState& state, const Request& request) {
    const bool loadEject = request.cdb[4] & 0x02;
    const bool start = request.cdb[4] & 0x01;
    if (loadEject) {
        // Opening leaves the disc on the tray; closing loads it again.
        state.trayOpen = !start;
    }
    return Good();
}

}  // namespace sim
