// WRITE BUFFER modes 4 and 5: chunks land in the download area at their buffer offsets;
// the final chunk (mode 5) makes the drive check the received image and program it.
//
// The checks a drive of this kind makes before it touches its flash:
//   - every byte from offset 0 to the end of the final chunk arrived since the last chunk
//     sent to offset 0 (a download starts at offset 0), and the image is not empty;
//   - when the description names an image size, the image has exactly that size;
//   - unless identity checking is off, the image carries an identity block ("ZORVANT "
//     at 0x10000, else at 0) whose vendor and product are this drive's.
// A gap or a wrong size answers 09/88/00, a foreign or missing identity 09/87/00; the
// flash is then left as it was.
#include "sim/flash.h"

#include <algorithm>
#include <cstring>

#include "sim/responses.h"

namespace sim {

namespace {

constexpr uint32_t kDownloadCapacity = 0x1000000;
constexpr uint32_t kIdentityOffsets[] = {0x10000, 0};
constexpr uint32_t kIdentityLength = 28;
constexpr char kIdentityVendor[] = "ZORVANT ";

// The identity block of the image [0, end), or nullptr.
const uint8_t* FindIdentity(const std::vector<uint8_t>& image, uint32_t end) {
    for (const uint32_t offset : kIdentityOffsets) {
        if (end >= offset + kIdentityLength &&
            std::memcmp(image.data() + offset, kIdentityVendor, 8) == 0) {
            return image.data() + offset;
        }
    }
    return nullptr;
}

Response ProgramImage(DriveState& state, uint32_t end) {
    const DriveDescription& drive = state.description;
    const bool complete =
        end > 0 && std::all_of(state.received.begin(), state.received.begin() + end,
                               [](bool arrived) { return arrived; });
    if (!complete || (drive.imageSize != 0 && end != drive.imageSize)) {
        return CheckCondition(state, sense::kTransferDataError);
    }
    const uint8_t* identity = FindIdentity(state.download, end);
    if (drive.checkIdentity) {
        const std::string own = drive.vendor + drive.product;
        if (identity == nullptr || std::memcmp(identity, own.data(), 24) != 0) {
            return CheckCondition(state, sense::kFirmwareDataError);
        }
    }
    state.pendingRevision = identity != nullptr
                                ? std::string(reinterpret_cast<const char*>(identity) + 24, 4)
                                : state.revision;
    state.flashedImage.assign(state.download.begin(), state.download.begin() + end);
    state.programming = true;
    state.programmedAt = state.Now() + std::chrono::milliseconds(drive.flashMs);
    state.flashAccepted = true;
    state.testUnitReadiesAfterFlash = 0;
    state.answerDelayMs = drive.finalChunkDelayMs;
    // The image is consumed: the next download starts from nothing.
    std::fill(state.received.begin(), state.received.end(), false);
    return Good();
}

}  // namespace

Response DownloadMicrocode(DriveState& state, const Request& request) {
    const uint8_t mode = request.cdb[1];
    const uint8_t bufferId = request.cdb[2];
    const uint32_t offset = Field24(request.cdb + 3);
    const uint32_t length = Field24(request.cdb + 6);
    if (bufferId != 0 || !HasDataOut(request, length) || offset + length > kDownloadCapacity) {
        return CheckCondition(state, sense::kInvalidField);
    }
    if (offset == 0) {
        std::fill(state.received.begin(), state.received.end(), false);
    }
    const uint32_t end = offset + length;
    if (state.download.size() < end) {
        state.download.resize(end, 0xFF);
        state.received.resize(end, false);
    }
    if (length > 0) {
        std::memcpy(state.download.data() + offset, request.data, length);
        std::fill(state.received.begin() + offset, state.received.begin() + end, true);
    }
    if (mode == 4) {
        return Good(length);
    }
    Response response = ProgramImage(state, end);
    if (response.status == 0) {
        response.transferred = length;
    }
    return response;
}

void SettleProgramming(DriveState& state) {
    if (state.programming && state.Now() >= state.programmedAt) {
        state.programming = false;
        state.revision = state.pendingRevision;
        ++state.flashes;
    }
}

}  // namespace sim
