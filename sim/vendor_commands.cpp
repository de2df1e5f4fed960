// The vendor commands 0xF5 (read drive memory, e.g. the board record) and 0xF0 (write
// drive memory, e.g. vendor data at 0x3A). Both reach one byte-addressed memory: bytes
// written with 0xF0 read back with 0xF5; the board record at 0xF8048 holds the board
// version in its byte 0; every other byte reads as 0.
#include "sim/vendor_commands.h"

#include <algorithm>

#include "sim/responses.h"

namespace sim {

namespace {

constexpr uint32_t kBoardRecord = 0xF8048;
constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

}  // namespace

uint8_t MemoryByte(const DriveState& state, uint32_t address) {
    const auto written = state.memory.find(address);
    if (written != state.memory.end()) {
        return written->second;
    }
    return address == kBoardRecord ? state.description.boardVersion : 0;
}

Response ReadBoardInfo(DriveState& state, const Request& request) {
    const uint32_t address = Field32(request.cdb + 4);
    const uint32_t length = Field16(request.cdb + 8);
    if (uint64_t{address} + length > kAddressSpace) {
        return CheckCondition(state, sense::kAddressOutOfRange);
    }
    if (!CanReturnData(request, length)) {
        return CheckCondition(state, sense::kInvalidField);
    }
    const uint32_t sent = std::min(length, request.length);
    for (uint32_t i = 0; i < sent; ++i) {
        request.data[i] = MemoryByte(state, address + i);
    }
    return Good(sent);
}

Response WriteVendorData(DriveState& state, const Request& request) {
    const uint32_t address = Field32(request.cdb + 2);
    const uint32_t length = Field16(request.cdb + 8);
    if (uint64_t{address} + length > kAddressSpace) {
        return CheckCondition(state, sense::kAddressOutOfRange);
    }
    if (!HasDataOut(request, length)) {
        return CheckCondition(state, sense::kInvalidField);
    }
    for (uint32_t i = 0; i < length; ++i) {
        state.memory[address + i] = request.data[i];
    }
    return Good(length);
}

}  // namespace sim
