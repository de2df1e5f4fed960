// The secondary image buffers, all in WRITE/READ BUFFER mode 0:
//   0x80 write, no data: begin an update (the staging area reads as erased, 0xFF)
//   0x81 write/read:      the staging area, at its buffer offsets
//   0x82 write, no data: commit the staging area; the version then becomes the
//                         description's commit version, when it names one
//   0x84 read, 7 bytes:   the version of the secondary image
// Writing or reading 0x81 and committing need a begun update (else 05/2C/00). A drive
// without a secondary image rejects all of them (05/24/00).
#include "sim/secondary_image.h"

#include <algorithm>
#include <cstring>

#include "sim/responses.h"

namespace sim {

namespace {

constexpr uint8_t kBegin = 0x80;
constexpr uint8_t kArea = 0x81;
constexpr uint8_t kCommit = 0x82;
constexpr uint8_t kVersion = 0x84;
constexpr uint32_t kVersionLength = 7;

// Changes `count` bytes of a read-back, spread over it, as a flaky drive would.
void Corrupt(uint8_t* bytes, uint32_t length, uint32_t count) {
    count = std::min(count, length);
    if (count == 0) {
        return;
    }
    const uint32_t step = length / count;
    for (uint32_t i = 0; i < count; ++i) {
        bytes[i * step] ^= 0x5A;
    }
}

}  // namespace

Response SecondaryWriteBuffer(DriveState& state, const Request& request) {
    const uint8_t bufferId = request.cdb[2];
    const uint32_t offset = Field24(request.cdb + 3);
    const uint32_t length = Field24(request.cdb + 6);
    const uint32_t capacity = state.description.secondaryCapacity;
    if (!state.description.hasSecondary) {
        return CheckCondition(state, sense::kInvalidField);
    }
    switch (bufferId) {
    case kBegin:
        if (offset != 0 || length != 0) {
            return CheckCondition(state, sense::kInvalidField);
        }
        state.secondaryOpen = true;
        state.secondaryStaging.assign(capacity, 0xFF);
        return Good();
    case kArea:
        if (!state.secondaryOpen) {
            return CheckCondition(state, sense::kSequenceError);
        }
        if (!HasDataOut(request, length) || offset + length > capacity) {
            return CheckCondition(state, sense::kInvalidField);
        }
        if (length > 0) {
            std::memcpy(state.secondaryStaging.data() + offset, request.data, length);
        }
        return Good(length);
    case kCommit:
        if (offset != 0 || length != 0) {
            return CheckCondition(state, sense::kInvalidField);
        }
        if (!state.secondaryOpen) {
            return CheckCondition(state, sense::kSequenceError);
        }
        state.secondaryOpen = false;
        state.secondaryCommitted = state.secondaryStaging;
        if (state.description.hasCommitVersion) {
            state.secondaryVersion = state.description.secondaryCommitVersion;
        }
        return Good();
    default: return CheckCondition(state, sense::kInvalidField);
    }
}

Response SecondaryReadBuffer(DriveState& state, const Request& request) {
    const uint8_t mode = request.cdb[1];
    const uint8_t bufferId = request.cdb[2];
    const uint32_t offset = Field24(request.cdb + 3);
    const uint32_t length = Field24(request.cdb + 6);
    if (mode != 0 || !state.description.hasSecondary) {
        return CheckCondition(state, sense::kInvalidField);
    }
    if (bufferId == kVersion) {
        const uint32_t wanted = std::min(length, kVersionLength);
        if (offset != 0 || !CanReturnData(request, wanted)) {
            return CheckCondition(state, sense::kInvalidField);
        }
        const uint32_t sent = std::min(wanted, request.length);
        if (sent > 0) {
            std::memcpy(request.data, state.secondaryVersion.data(), sent);
        }
        return Good(sent);
    }
    if (bufferId != kArea) {
        return CheckCondition(state, sense::kInvalidField);
    }
    if (!state.secondaryOpen) {
        return CheckCondition(state, sense::kSequenceError);
    }
    if (offset + length > state.description.secondaryCapacity || !CanReturnData(request, length)) {
        return CheckCondition(state, sense::kInvalidField);
    }
    const uint32_t sent = std::min(length, request.length);
    if (sent > 0) {
        std::memcpy(request.data, state.secondaryStaging.data() + offset, sent);
        const std::vector<uint32_t>& corruption = state.description.readBackCorruption;
        if (state.readBacks < corruption.size()) {
            Corrupt(request.data, sent, corruption[state.readBacks]);
        }
    }
    ++state.readBacks;
    return Good(sent);
}

}  // namespace sim
