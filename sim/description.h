// The description of simulated drives: what each drive reports and which faults it
// injects, read from a small text file (the format is documented in sim/README.md).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// A sense triple. `key` is the whole sense key byte (flag bits included).
struct SenseCode {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

// Which command a fault hits.
enum class FaultTrigger {
    Command,                  // the ordinal-th command of any kind
    Opcode,                   // the ordinal-th command with opcode `code`
    Chunk,                    // download chunk number `ordinal` (0-based; WRITE BUFFER mode 4 or 5)
    Final,                    // the ordinal-th WRITE BUFFER mode 5
    WriteBuffer,              // the ordinal-th WRITE BUFFER with buffer id `code`
    ReadBuffer,               // the ordinal-th READ BUFFER with buffer id `code`
    TestUnitReadyAfterFlash,  // the ordinal-th TEST UNIT READY after the latest accepted mode 5
};

// What the hit command experiences instead of being carried out.
enum class FaultEffect {
    Sense,    // CHECK CONDITION with `sense`
    Busy,     // status BUSY
    TimeOut,  // no answer
    Vanish,   // the device is gone, for this command and every later one
};

struct Fault {
    FaultTrigger trigger = FaultTrigger::Command;
    uint8_t code = 0;      // opcode or buffer id, for the triggers that name one
    bool every = false;    // hit every matching command, not only the ordinal-th
    uint32_t ordinal = 0;  // 1-based, except for Chunk (0-based chunk number)
    FaultEffect effect = FaultEffect::Sense;
    SenseCode sense;
};

enum class Medium { Empty, Open, Loaded };

struct DriveDescription {
    std::string origin;  // "file:line" of the [drive] header, for messages

    // INQUIRY identity, blank-padded to 8, 16 and 4 bytes.
    std::string vendor = "ZORVANT ";
    std::string product = "SIMULATED DRIVE ";
    std::string revision = "1.00";
    uint8_t deviceType = 0x05;
    uint8_t inquiryByte3 = 0x21;  // ATAPI version in bits 7..4
    uint32_t inquiryFlaps = 0;    // the first N INQUIRY answers each garble one byte

    Medium medium = Medium::Empty;

    // Flash programming after the final chunk.
    uint32_t flashMs = 2000;         // the drive is programming this long (on its clock)
    uint32_t finalChunkDelayMs = 0;  // real time the final chunk takes to answer
    uint32_t imageSize = 0;          // required image size; 0 accepts any size
    bool checkIdentity = true;       // the image must carry this drive's identity block

    // Vendor memory: byte 0 of the board record at 0xF8048.
    uint8_t boardVersion = 0;

    // Secondary image buffers; absent when `hasSecondary` is false.
    bool hasSecondary = false;
    std::string secondaryVersion;  // 7 bytes
    bool hasCommitVersion = false;
    std::string secondaryCommitVersion;  // 7 bytes, reported after a commit
    uint32_t secondaryCapacity = 0x10000;
    std::vector<uint32_t> readBackCorruption;  // differing bytes in read-back 1, 2, ...

    std::vector<Fault> faults;  // the first fault that matches a command applies
};

// Parses description text. On success fills `drives` and returns true; on failure
// returns false with `error` as "<fileName>:<line>: <what>" and leaves `drives` empty.
bool ParseDescription(std::string_view text, const std::string& fileName,
                      std::vector<DriveDescription>& drives, std::string& error);

// Reads and parses the file at `path`.
bool LoadDescriptionFile(const std::string& path, std::vector<DriveDescription>& drives,
                         std::string& error);

}  // namespace sim
