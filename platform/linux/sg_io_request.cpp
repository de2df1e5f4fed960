// How SG_IO outcomes map to "carried out" and to system error codes:
//
//   the request fails (errno of sending or collecting it)
//                                              -> not carried out; code from the errno:
//       EACCES, EPERM                              5    access denied (e.g. the kernel's
//                                                       command filter on a block node)
//       ENOMEM                                     8    not enough memory
//       ETIMEDOUT                                  121  time-out
//       ENODEV, ENXIO                              21   device not ready (it is gone)
//       anything else (EIO, EINVAL, ENOTTY...)     1117 device I/O error
//   the kernel answers, host byte not DID_OK  -> not carried out:
//       DID_TIME_OUT                               121
//       DID_NO_CONNECT, DID_BAD_TARGET,
//       DID_TRANSPORT_FAILFAST                     21
//       DID_ALLOC_FAILURE                          8
//       any other host error                       1117
//   the kernel answers, driver byte reports an error (anything but OK and SENSE):
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

#include <fcntl.h>
#include <linux/major.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
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

int StartOnGenericNode(int descriptor, sg_io_hdr_t& header) {
    const ssize_t written = write(descriptor, &header, sizeof header);
    if (written < 0) return errno;
    return static_cast<size_t>(written) == sizeof header ? 0 : EIO;
}

// One read of the answer: 0 when it was collected, EAGAIN when it is not there yet (or a
// signal interrupted the read), else the errno that ends the request.
int ReadAnswer(int descriptor, sg_io_hdr_t& header) {
    const ssize_t got = read(descriptor, &header, sizeof header);
    if (got >= 0) return static_cast<size_t>(got) == sizeof header ? 0 : EIO;
    return errno == EINTR ? EAGAIN : errno;
}

// Waits for the answer of a command handed over with StartOnGenericNode and reads it. The
// answer is read first and waited for only when it is not there yet: a command the device
// completed while it was handed over costs no wait.
int CollectFromGenericNode(int descriptor, sg_io_hdr_t& header) {
    pollfd waiting{descriptor, POLLIN, 0};
    bool polled = false;
    for (;;) {
        const int error = ReadAnswer(descriptor, header);
        if (error != EAGAIN) return error;
        // Nothing to collect although poll woke: the device is going away.
        if (polled && (waiting.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return ENODEV;
        waiting.revents = 0;
        while (poll(&waiting, 1, -1) < 0)
            if (errno != EINTR) return errno;
        polled = true;
    }
}

// SG_IO through the ioctl, with every signal blocked in this thread for its length: an
// interrupted SG_IO on a generic node gives the command up half-way and, with an
// SA_RESTART handler anywhere in the process, the kernel would send it again on its own.
// Signals that arrive meanwhile stay pending and are taken when the mask is restored. An
// EINTR that still comes through (the C library keeps a few signals of its own
// unblockable) is reported as a failure, never retried.
int SendThroughIoctl(int descriptor, sg_io_hdr_t& header) {
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    const bool masked = pthread_sigmask(SIG_SETMASK, &all, &previous) == 0;
    const int error = ioctl(descriptor, SG_IO, &header) == 0 ? 0 : errno;
    if (masked) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
}

// The generic node's own interface: write() hands the command to the kernel, which
// dispatches it at once; read() collects the answer. write() is called exactly once, so a
// signal can only interrupt the wait for the answer, and that wait is simply repeated.
int SendThroughGenericNode(int descriptor, sg_io_hdr_t& header) {
    const int error = StartOnGenericNode(descriptor, header);
    return error != 0 ? error : CollectFromGenericNode(descriptor, header);
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

void BuildSgIoHeader(const SgCommand& command, sg_io_hdr_t& header) {
    // Field by field rather than clearing the header first: every field is set here, and the
    // kernel writes all of them when it answers.
    const bool moves = command.length != 0 && command.direction != SG_DXFER_NONE;
    header.interface_id = 'S';
    header.dxfer_direction = moves ? command.direction : SG_DXFER_NONE;
    header.cmd_len = command.cdbLength;
    header.mx_sb_len = command.senseRoom;
    header.iovec_count = 0;
    header.dxfer_len = moves ? command.length : 0;
    header.dxferp = moves ? command.data : nullptr;
    header.cmdp = const_cast<unsigned char*>(command.cdb);
    header.sbp = command.sense;
    header.timeout = command.timeoutSeconds * 1000u;
    header.flags = 0;
    header.pack_id = command.packId;
    header.usr_ptr = nullptr;
    header.status = 0;
    header.masked_status = 0;
    header.msg_status = 0;
    header.sb_len_wr = 0;
    header.host_status = 0;
    header.driver_status = 0;
    header.resid = 0;
    header.duration = 0;
    header.info = 0;
}

SgOutcome ReadSgIoHeader(int error, const sg_io_hdr_t& header) {
    SgOutcome outcome;
    outcome.error = error;
    if (error != 0) return outcome;
    outcome.scsiStatus = header.status;
    outcome.hostStatus = header.host_status;
    outcome.driverStatus = header.driver_status;
    const int resid = std::clamp(header.resid, 0, static_cast<int>(header.dxfer_len));
    outcome.transferred = header.dxfer_len - static_cast<uint32_t>(resid);
    outcome.senseLength = std::min(header.sb_len_wr, header.mx_sb_len);
    return outcome;
}

SgNode SgNodeOf(int descriptor) {
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || !S_ISCHR(info.st_mode) ||
        major(info.st_rdev) != SCSI_GENERIC_MAJOR)
        return SgNode::Other;
    // write() needs a descriptor opened for writing.
    const int flags = fcntl(descriptor, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY ? SgNode::GenericWritable : SgNode::Other;
}

SgOutcome SendSgIoTo(int descriptor, SgNode node, const SgCommand& command) {
    sg_io_hdr_t header;
    BuildSgIoHeader(command, header);
    const int error = node == SgNode::GenericWritable ? SendThroughGenericNode(descriptor, header)
                                                      : SendThroughIoctl(descriptor, header);
    return ReadSgIoHeader(error, header);
}

SgOutcome SendSgIo(int descriptor, const SgCommand& command) {
    return SendSgIoTo(descriptor, SgNodeOf(descriptor), command);
}

int StartSgIo(int descriptor, const SgCommand& command, sg_io_hdr_t& header) {
    BuildSgIoHeader(command, header);
    return StartOnGenericNode(descriptor, header);
}

bool TryCollectSgIo(int descriptor, sg_io_hdr_t& header, SgOutcome* outcome) {
    const int error = ReadAnswer(descriptor, header);
    if (error == EAGAIN) return false;
    *outcome = ReadSgIoHeader(error, header);
    return true;
}

SgOutcome CollectSgIo(int descriptor, sg_io_hdr_t& header) {
    return ReadSgIoHeader(CollectFromGenericNode(descriptor, header), header);
}

SgCommand CommandOfBlock(PassThroughBlock& block) {
    const ScsiPassThroughDirect& sptd = block.Sptd;
    std::memset(block.SenseBuffer, 0, sizeof block.SenseBuffer);
    SgCommand command;
    command.cdb = sptd.Cdb;
    command.cdbLength =
        sptd.CdbLength < sizeof sptd.Cdb ? sptd.CdbLength : static_cast<uint8_t>(sizeof sptd.Cdb);
    command.direction = sptd.DataIn == kDataIn    ? SG_DXFER_FROM_DEV
                        : sptd.DataIn == kDataOut ? SG_DXFER_TO_DEV
                                                  : SG_DXFER_NONE;
    command.data = sptd.DataBuffer;
    command.length = sptd.DataTransferLength;
    command.sense = block.SenseBuffer;
    command.senseRoom = sptd.SenseInfoLength < kMaxSense ? sptd.SenseInfoLength : kMaxSense;
    command.timeoutSeconds = sptd.TimeOutValue;
    return command;
}

bool ReadSgIoOutcome(const SgOutcome& outcome, PassThroughBlock& block, uint32_t* systemError) {
    if (outcome.error != 0) {
        block.Sptd.ScsiStatus = 0;
        *systemError = SystemErrorForErrno(outcome.error);
        return false;
    }
    block.Sptd.ScsiStatus = outcome.scsiStatus;
    if (outcome.hostStatus != kDidOk) {
        *systemError = SystemErrorForHostStatus(outcome.hostStatus);
        return false;
    }
    const uint16_t driver = outcome.driverStatus & kDriverStatusMask;
    if (driver != 0) {
        *systemError = driver == kDriverTimeout ? kErrorSemTimeout : kErrorIoDevice;
        return false;
    }
    return true;
}

bool SendBlock(int descriptor, SgNode node, PassThroughBlock& block, uint32_t* systemError) {
    return ReadSgIoOutcome(SendSgIoTo(descriptor, node, CommandOfBlock(block)), block, systemError);
}

}  // namespace platform::linux_os
