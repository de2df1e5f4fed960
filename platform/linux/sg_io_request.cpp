// How SG_IO outcomes map to "carried out" and to system error codes:
//
//   ioctl fails (errno)                       -> not carried out; code from the errno:
//       EACCES, EPERM                              5    access denied (e.g. the kernel's
//                                                       command filter on a block node)
//       ENOMEM                                     8    not enough memory
//       ETIMEDOUT                                  121  time-out
//       ENODEV, ENXIO                              21   device not ready (it is gone)
//       anything else (EIO, EINVAL, ENOTTY...)     1117 device I/O error
//   ioctl succeeds, host byte not DID_OK      -> not carried out:
//       DID_TIME_OUT                               121
//       DID_NO_CONNECT, DID_BAD_TARGET,
//       DID_TRANSPORT_FAILFAST                     21
//       DID_ALLOC_FAILURE                          8
//       any other host error                       1117
//   ioctl succeeds, driver byte reports an error (anything but OK and SENSE):
//       DRIVER_TIMEOUT                             121
//       any other                                  1117
//   otherwise                                  -> carried out: ScsiStatus is the target's
//       status byte and the sense buffer holds what the kernel wrote (CHECK CONDITION with
//       DRIVER_SENSE is an answer of the drive, not a failure of the request).
//
// A data residual (fewer bytes moved than asked) is not a failure, just as an ASPI data
// overrun or underrun is not. Sense data the kernel wrote along with a host or driver
// error stays in the sense buffer, so the caller still sees the drive's reason.
#include "platform/linux/sg_io_request.h"
#include "platform/linux/sg_status.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace platform::linux_os {

namespace {

using namespace sg;

constexpr unsigned char kMaxSense = sizeof(PassThroughBlock::SenseBuffer);

uint32_t SystemErrorForHostStatus(uint16_t host) {
    switch (host) {
    case kDidTimeOut: return kErrorSemTimeout;
    case kDidNoConnect:
    case kDidBadTarget:
    case kDidTransportFailfast: return kErrorNotReady;
    case kDidAllocFailure: return kErrorNotEnoughMemory;
    default: return kErrorIoDevice;
    }
}

}  // namespace

uint32_t SystemErrorForErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case ENOMEM: return kErrorNotEnoughMemory;
    case ETIMEDOUT: return kErrorSemTimeout;
    case ENODEV:
    case ENXIO: return kErrorNotReady;
    default: return kErrorIoDevice;
    }
}

void BuildSgIoHeader(PassThroughBlock& block, sg_io_hdr_t& header) {
    ScsiPassThroughDirect& sptd = block.Sptd;
    std::memset(&header, 0, sizeof header);
    std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
    header.interface_id = 'S';

    header.dxfer_direction = SG_DXFER_NONE;
    if (sptd.DataTransferLength != 0) {
        if (sptd.DataIn == kDataIn) header.dxfer_direction = SG_DXFER_FROM_DEV;
        if (sptd.DataIn == kDataOut) header.dxfer_direction = SG_DXFER_TO_DEV;
    }
    if (header.dxfer_direction != SG_DXFER_NONE) {
        header.dxfer_len = sptd.DataTransferLength;
        header.dxferp = sptd.DataBuffer;
    }

    header.cmdp = sptd.Cdb;
    header.cmd_len = sptd.CdbLength < sizeof sptd.Cdb ? sptd.CdbLength
                                                      : static_cast<unsigned char>(sizeof sptd.Cdb);
    header.sbp = block.SenseBuffer;
    header.mx_sb_len = sptd.SenseInfoLength < kMaxSense ? sptd.SenseInfoLength : kMaxSense;
    header.timeout = sptd.TimeOutValue * 1000u;
}

bool ReadSgIoOutcome(int ioctlErrno, const sg_io_hdr_t& header, PassThroughBlock& block,
                     uint32_t* systemError) {
    if (ioctlErrno != 0) {
        block.Sptd.ScsiStatus = 0;
        *systemError = SystemErrorForErrno(ioctlErrno);
        return false;
    }
    block.Sptd.ScsiStatus = header.status;
    if (header.host_status != kDidOk) {
        *systemError = SystemErrorForHostStatus(header.host_status);
        return false;
    }
    const uint16_t driver = header.driver_status & kDriverStatusMask;
    if (driver != 0) {
        *systemError = driver == kDriverTimeout ? kErrorSemTimeout : kErrorIoDevice;
        return false;
    }
    return true;
}

bool SendSgIo(int descriptor, PassThroughBlock& block, uint32_t* systemError) {
    sg_io_hdr_t header;
    BuildSgIoHeader(block, header);
    // No retry on EINTR: the command may already have reached the drive.
    const int error = ioctl(descriptor, SG_IO, &header) == 0 ? 0 : errno;
    return ReadSgIoOutcome(error, header, block, systemError);
}

}  // namespace platform::linux_os
