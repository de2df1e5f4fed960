#include "sim/responses.h"

namespace sim {

Response Good(uint32_t transferred) {
    Response response;
    response.transferred = transferred;
    return response;
}

Response CheckCondition(DriveState& state, SenseCode code) {
    Response response;
    response.status = 0x02;
    response.sense[0] = 0x70;  // current error, fixed format
    response.sense[2] = code.key;
    response.sense[7] = 10;  // additional sense length: bytes 8 to 17
    response.sense[12] = code.asc;
    response.sense[13] = code.ascq;
    state.lastSense = code;
    return response;
}

Response Busy() {
    Response response;
    response.status = 0x08;
    return response;
}

uint32_t Field24(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
}

uint32_t Field32(const uint8_t* bytes) { return (uint32_t{bytes[0]} << 24) | Field24(bytes + 1); }

uint16_t Field16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

bool HasDataOut(const Request& request, uint32_t needed) {
    return needed == 0 || (request.direction == Direction::Out && request.data != nullptr &&
                           request.length >= needed);
}

bool CanReturnData(const Request& request, uint32_t wanted) {
    return wanted == 0 || request.length == 0 ||
           (request.direction == Direction::In && request.data != nullptr);
}

}  // namespace sim
