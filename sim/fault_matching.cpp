// Counts every command by the selectors that faults use, and finds the fault that hits
// the command, if any.

#include "sim/fault_matching.h"

namespace sim {

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kReadBuffer = 0x3C;

bool Hits(const Fault& fault, uint32_t count) { return fault.every || fault.ordinal == count; }

}  // namespace

const Fault* CountAndMatchFault(DriveState& state, const Request& request) {
    const uint8_t opcode = request.cdb[0];
    const bool bufferCommand = request.cdbLength >= 10;
    const bool writeBuffer = opcode == kWriteBuffer && bufferCommand;
    const bool readBuffer = opcode == kReadBuffer && bufferCommand;
    const uint8_t mode = writeBuffer ? request.cdb[1] : 0;
    const uint8_t bufferId = bufferCommand ? request.cdb[2] : 0;
    const bool chunk = writeBuffer && (mode == 4 || mode == 5);
    const bool final = writeBuffer && mode == 5;

    ++state.commands;
    ++state.perOpcode[opcode];
    const uint32_t chunkNumber = chunk ? state.chunks++ : 0;
    if (final) {
        ++state.finals;
    }
    if (writeBuffer) {
        ++state.writeBuffers[bufferId];
    }
    if (readBuffer) {
        ++state.readBuffers[bufferId];
    }
    const bool afterFlash = opcode == kTestUnitReady && state.flashAccepted;
    if (afterFlash) {
        ++state.testUnitReadiesAfterFlash;
    }

    for (const Fault& fault : state.description.faults) {
        bool hit = false;
        switch (fault.trigger) {
        case FaultTrigger::Command: hit = Hits(fault, state.commands); break;
        case FaultTrigger::Opcode:
            hit = opcode == fault.code && Hits(fault, state.perOpcode[opcode]);
            break;
        case FaultTrigger::Chunk: hit = chunk && fault.ordinal == chunkNumber; break;
        case FaultTrigger::Final: hit = final && Hits(fault, state.finals); break;
        case FaultTrigger::WriteBuffer:
            hit =
                writeBuffer && bufferId == fault.code && Hits(fault, state.writeBuffers[bufferId]);
            break;
        case FaultTrigger::ReadBuffer:
            hit = readBuffer && bufferId == fault.code && Hits(fault, state.readBuffers[bufferId]);
            break;
        case FaultTrigger::TestUnitReadyAfterFlash:
            hit = afterFlash && Hits(fault, state.testUnitReadiesAfterFlash);
            break;
        }
        if (hit) {
            return &fault;
        }
    }
    return nullptr;
}

}  // namespace sim
