// Inside the simulated drive: its state and the command as it reached the drive. The
// handlers of each command family (basic_commands.h, flash.h, secondary_image.h,
// vendor_commands.h) run with the drive's mutex held.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/description.h"
#include "sim/sim_drive.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// One command as it reached the drive.
struct Request {
    const uint8_t* cdb;
    size_t cdbLength;
    Direction direction;
    uint8_t* data;
    uint32_t length;
};

// Sense codes the drive answers with.
namespace sense {
constexpr SenseCode kTrayClosedNoMedium{0x02, 0x3A, 0x01};
constexpr SenseCode kTrayOpen{0x02, 0x3A, 0x02};
constexpr SenseCode kProgramming{0x02, 0x04, 0x07};  // not ready, operation in progress
constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCode kAddressOutOfRange{0x05, 0x21, 0x00};
constexpr SenseCode kInvalidField{0x05, 0x24, 0x00};
constexpr SenseCode kSequenceError{0x05, 0x2C, 0x00};
constexpr SenseCode kFirmwareDataError{0x09, 0x87, 0x00};
constexpr SenseCode kTransferDataError{0x09, 0x88, 0x00};
}  // namespace sense

struct DriveState {
    explicit DriveState(const DriveDescription& description);

    DriveDescription description;
    std::chrono::milliseconds clockOffset{0};
    std::vector<LoggedCommand> log;
    bool vanished = false;
    SenseCode lastSense{};  // for REQUEST SENSE

    // Counters that faults select commands by.
    uint32_t commands = 0;
    std::array<uint32_t, 256> perOpcode{};
    uint32_t chunks = 0;                       // WRITE BUFFER mode 4 or 5 received
    uint32_t finals = 0;                       // WRITE BUFFER mode 5 received
    std::array<uint32_t, 256> writeBuffers{};  // by buffer id
    std::array<uint32_t, 256> readBuffers{};   // by buffer id
    bool flashAccepted = false;
    uint32_t testUnitReadiesAfterFlash = 0;

    // Identity and medium.
    std::string revision;
    uint32_t inquiries = 0;
    bool trayOpen = false;
    bool discPresent = false;

    // Download area of WRITE BUFFER modes 4 and 5, and the flash programming.
    std::vector<uint8_t> download;
    std::vector<bool> received;  // which download bytes arrived since the last chunk at 0
    bool programming = false;
    Clock::time_point programmedAt{};
    std::string pendingRevision;
    std::vector<uint8_t> flashedImage;  // the latest image accepted for programming
    uint32_t flashes = 0;
    uint32_t answerDelayMs = 0;  // real time the current command takes to answer

    // Secondary image buffers.
    std::string secondaryVersion;
    bool secondaryOpen = false;
    std::vector<uint8_t> secondaryStaging;
    std::vector<uint8_t> secondaryCommitted;
    uint32_t readBacks = 0;

    // Vendor memory: written bytes; everything else reads as 0, the board record aside.
    std::map<uint32_t, uint8_t> memory;

    std::shared_ptr<TimeSource> time;  // null: the steady clock

    Clock::time_point Now() const {
        const Clock::time_point now = time ? Clock::time_point(time->Now()) : Clock::now();
        return now + clockOffset;
    }
};

}  // namespace sim
