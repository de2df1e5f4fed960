// The one way a SCSI command reaches the kernel: a Linux SG_IO request, built from the
// command, sent once, and read back. The pass-through drive bus and the ASPI manager both
// send through here.
#pragma once

#include <scsi/sg.h>

#include <cstdint>

#include "platform/pass_through.h"

namespace platform::linux_os {

// One command as the kernel gets it.
struct SgCommand {
    const uint8_t* cdb = nullptr;
    uint8_t cdbLength = 0;
    int direction = SG_DXFER_NONE;  // SG_DXFER_NONE, SG_DXFER_FROM_DEV or SG_DXFER_TO_DEV
    void* data = nullptr;
    uint32_t length = 0;  // no data moves when 0, whatever the direction
    uint8_t* sense = nullptr;
    uint8_t senseRoom = 0;
    uint32_t timeoutSeconds = 0;
    int packId = -1;  // names the command among several in flight on one descriptor
};

// What the kernel said of one command.
struct SgOutcome {
    int error = 0;              // errno when the request was refused or could not be collected
    uint8_t scsiStatus = 0;     // the target's status byte
    uint16_t hostStatus = 0;    // DID_* of the low-level driver
    uint16_t driverStatus = 0;  // DRIVER_* of the mid layer
    uint32_t transferred = 0;   // data bytes actually moved
    uint8_t senseLength = 0;    // sense bytes the kernel wrote
};

// Fills `header` for the command.
void BuildSgIoHeader(const SgCommand& command, sg_io_hdr_t& header);
// The outcome of a request whose send ended with `error` (0: the kernel answered).
SgOutcome ReadSgIoHeader(int error, const sg_io_hdr_t& header);

// Sends the command once and waits for its end. A signal never sends it a second time:
// on a SCSI generic node opened for writing, the command goes out with write() and only
// its collection (poll and read) is repeated after an interruption; on any other node
// (the block node, or a generic node opened read-only, which passes only the commands
// the kernel deems harmless) SG_IO runs with every signal blocked in the calling thread.
SgOutcome SendSgIo(int descriptor, const SgCommand& command);

// The same in two halves, for a caller that does not want to wait for the answer, on a
// SCSI generic node opened for writing only: StartSgIo hands the command to the kernel
// (exactly once) and returns 0 or the errno that refused it; TryCollectSgIo takes the
// answer if it is already there (false: not yet, nothing taken); CollectSgIo waits for it.
// `header` stays in place from the start to the collection. With several commands in
// flight on one descriptor, the descriptor needs SG_SET_FORCE_PACK_ID and each command
// its own packId, so that each collection takes its own answer.
int StartSgIo(int descriptor, const SgCommand& command, sg_io_hdr_t& header);
bool TryCollectSgIo(int descriptor, sg_io_hdr_t& header, SgOutcome* outcome);
SgOutcome CollectSgIo(int descriptor, sg_io_hdr_t& header);

// The kinds of node SendSgIo tells apart; exposed so that tests can drive each way.
enum class SgNode { GenericWritable, Other };
SgNode SgNodeOf(int descriptor);
SgOutcome SendSgIoTo(int descriptor, SgNode node, const SgCommand& command);

// The pass-through request block as a command; clears the block's sense buffer, which is
// output only.
SgCommand CommandOfBlock(PassThroughBlock& block);
// Reads an outcome back into the block. Returns true when the request was carried out
// (the SCSI status and sense bytes are then the target's); false with *systemError set
// otherwise.
bool ReadSgIoOutcome(const SgOutcome& outcome, PassThroughBlock& block, uint32_t* systemError);
// Carries a pass-through request block out on `descriptor`, a node of kind `node`: the block
// as a command (CommandOfBlock), sent (SendSgIoTo) and its outcome read back
// (ReadSgIoOutcome), in one call.
bool SendBlock(int descriptor, SgNode node, PassThroughBlock& block, uint32_t* systemError);
// The system error code, in its Win32 numbering, for an errno of a failed SG_IO or open.
uint32_t SystemErrorForErrno(int error);

}  // namespace platform::linux_os
