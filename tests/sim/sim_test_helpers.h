// Small helpers for the simulated-drive tests: drives from description text, command
// blocks, and a one-word summary of each answer that tables can compare.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/description.h"
#include "sim/sim_drive.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

// A drive from the lines of one [drive] section (the header is added here).
inline std::unique_ptr<sim::Drive> MakeDrive(const std::string& lines) {
    std::vector<sim::DriveDescription> drives;
    std::string error;
    EXPECT_TRUE(sim::ParseDescription("[drive]\n" + lines, "test.sim", drives, error)) << error;
    if (drives.size() != 1) {
        ADD_FAILURE() << "expected one drive";
        return nullptr;
    }
    return std::make_unique<sim::Drive>(drives[0]);
}

// "GOOD", "BUSY", "TIMEOUT", "VANISHED", or the sense of a CHECK CONDITION as "02/3A/01".
inline std::string Summary(const sim::Response& response) {
    switch (response.outcome) {
    case sim::Response::Outcome::TimedOut: return "TIMEOUT";
    case sim::Response::Outcome::Vanished: return "VANISHED";
    case sim::Response::Outcome::Completed: break;
    }
    if (response.status == 0) return "GOOD";
    if (response.status == 8) return "BUSY";
    if (response.status != 2) return "STATUS " + std::to_string(response.status);
    char text[16];
    std::snprintf(text, sizeof text, "%02X/%02X/%02X", response.sense[2], response.sense[12],
                  response.sense[13]);
    return text;
}

inline Bytes TestUnitReadyCdb() { return Bytes(6, 0); }

inline Bytes InquiryCdb(uint8_t allocation, uint8_t opcode = 0x12) {
    return {opcode, 0, 0, 0, allocation, 0};
}

inline Bytes StartStopCdb(uint8_t value) { return {0x1B, 0, 0, 0, value, 0}; }

inline Bytes BufferCdb(uint8_t opcode, uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return {opcode,
            mode,
            id,
            static_cast<uint8_t>(offset >> 16),
            static_cast<uint8_t>(offset >> 8),
            static_cast<uint8_t>(offset),
            static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length),
            0};
}

inline Bytes WriteBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return BufferCdb(0x3B, mode, id, offset, length);
}

inline Bytes ReadBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return BufferCdb(0x3C, mode, id, offset, length);
}

inline Bytes ReadBoardCdb(uint32_t address, uint16_t length) {
    return {0xF5,
            0,
            0,
            0,
            static_cast<uint8_t>(address >> 24),
            static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(address),
            static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length),
            0,
            0};
}

inline Bytes WriteVendorCdb(uint32_t address, uint16_t length) {
    return {0xF0,
            0,
            static_cast<uint8_t>(address >> 24),
            static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(address),
            0,
            0,
            static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length),
            0,
            0};
}

inline sim::Response Send(sim::Drive& drive, const Bytes& cdb,
                          sim::Direction direction = sim::Direction::None, uint8_t* data = nullptr,
                          uint32_t length = 0) {
    return drive.Execute(cdb.data(), cdb.size(), direction, data, length);
}

inline std::string TestUnitReady(sim::Drive& drive) {
    return Summary(Send(drive, TestUnitReadyCdb()));
}

// 36 bytes of INQUIRY data (zeros where nothing came back).
inline Bytes InquiryData(sim::Drive& drive, uint8_t opcode = 0x12) {
    Bytes data(36, 0);
    const sim::Response response =
        Send(drive, InquiryCdb(36, opcode), sim::Direction::In, data.data(), 36);
    EXPECT_EQ(Summary(response), "GOOD");
    return data;
}

inline std::string InquiryRevision(sim::Drive& drive) {
    const Bytes data = InquiryData(drive);
    return std::string(data.begin() + 32, data.begin() + 36);
}

// A firmware image of `size` bytes with an identity block at `blockOffset`.
inline Bytes MakeImage(uint32_t size, std::string product, const std::string& version,
                       uint32_t blockOffset = 0x10000) {
    product.resize(16, ' ');
    Bytes image(size);
    for (uint32_t i = 0; i < size; ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::string block = "ZORVANT " + product + version;
    block.resize(28, ' ');
    std::memcpy(image.data() + blockOffset, block.data(), 28);
    return image;
}

// Sends `image` the way the updater does: mode 4 chunks, the last one with mode 5.
// Returns the summary of every chunk's answer.
inline std::vector<std::string> SendImage(sim::Drive& drive, Bytes image, uint32_t chunk) {
    std::vector<std::string> answers;
    const uint32_t count = static_cast<uint32_t>(image.size()) / chunk;
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t mode = k + 1 == count ? 5 : 4;
        answers.push_back(Summary(Send(drive, WriteBufferCdb(mode, 0, k * chunk, chunk),
                                       sim::Direction::Out, image.data() + k * chunk, chunk)));
    }
    return answers;
}

}  // namespace simtest
