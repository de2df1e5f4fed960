// Turning a pass-through request block into a Linux SG_IO request and its outcome back.
#pragma once

#include <scsi/sg.h>

#include <cstdint>

#include "platform/pass_through.h"

namespace platform::linux_os {

// Fills `header` for the block: direction, command block, data, the block's own sense
// buffer and the time-out in milliseconds. Clears the sense buffer, which is output only.
void BuildSgIoHeader(PassThroughBlock& block, sg_io_hdr_t& header);

// Reads the outcome of the ioctl back into the block. `ioctlErrno` is 0 when the ioctl
// returned success, else its errno. Returns true when the request was carried out (the
// SCSI status and sense bytes are then the target's); false with *systemError set
// otherwise.
bool ReadSgIoOutcome(int ioctlErrno, const sg_io_hdr_t& header, PassThroughBlock& block,
                     uint32_t* systemError);

// The system error code, in its Win32 numbering, for an errno of a failed SG_IO or open.
uint32_t SystemErrorForErrno(int error);

// Sends the block through SG_IO on an open SCSI generic or block device descriptor.
bool SendSgIo(int descriptor, PassThroughBlock& block, uint32_t* systemError);

}  // namespace platform::linux_os
