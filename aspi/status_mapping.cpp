#include "aspi/status_mapping.h"

#include <cerrno>

#include "aspi/aspi_interface.h"
#include "platform/linux/sg_status.h"

namespace aspi {

// The table, first matching row wins for SRB_Status; SRB_HaStat and SRB_TargStat are
// filled independently, so a host error and a status byte can both show:
//
//   request not carried out (errno)
//     ENOENT, ENODEV, ENXIO             SS_NO_DEVICE          the device is gone
//     EACCES, EPERM, EROFS              SS_SECURITY_VIOLATION no right to send this command
//     ENOMEM, EAGAIN, EBUSY, EMFILE,    SS_ASPI_IS_BUSY       out of resources for now
//       ENFILE
//     EINVAL                            SS_INVALID_SRB        the request was refused as is
//     anything else                     SS_ERR, HaStat unspecified
//   host status (DID_*)
//     DID_OK                            HaStat 0
//     DID_NO_CONNECT, DID_BAD_TARGET    SS_ERR, HASTAT_SEL_TO
//     DID_BUS_BUSY                      SS_ERR, HASTAT_TIMEOUT (never got to the target)
//     DID_TIME_OUT                      SS_ERR, HASTAT_COMMAND_TIMEOUT
//     DID_ABORT                         SS_ABORTED
//     DID_PARITY                        SS_ERR, HASTAT_PARITY_ERROR
//     DID_RESET                         SS_ERR, HASTAT_BUS_RESET
//     any other                         SS_ERR, HaStat unspecified
//   driver status (DRIVER_*, the DRIVER_SENSE flag ignored: it only says sense is valid)
//     DRIVER_TIMEOUT                    SS_ERR, HASTAT_COMMAND_TIMEOUT (when no host status)
//     any other non-zero                SS_ERR, HaStat unspecified (when no host status)
//   SCSI status byte
//     0 GOOD                            nothing
//     anything else (CHECK CONDITION,   SS_ERR, TargStat = the status byte
//       BUSY, RESERVATION CONFLICT...)
//   none of the above                   SS_COMP; HaStat HASTAT_DO_DU when fewer bytes
//                                       moved than asked for
namespace {

using namespace platform::linux_os::sg;

uint8_t StatusForErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return SS_NO_DEVICE;
    case EACCES:
    case EPERM:
    case EROFS: return SS_SECURITY_VIOLATION;
    case ENOMEM:
    case EAGAIN:
    case EBUSY:
    case EMFILE:
    case ENFILE: return SS_ASPI_IS_BUSY;
    case EINVAL: return SS_INVALID_SRB;
    default: return SS_ERR;
    }
}

uint8_t HaStatForHost(uint16_t host) {
    switch (host) {
    case kDidOk: return HASTAT_OK;
    case kDidNoConnect:
    case kDidBadTarget: return HASTAT_SEL_TO;
    case kDidBusBusy: return HASTAT_TIMEOUT;
    case kDidTimeOut: return HASTAT_COMMAND_TIMEOUT;
    case kDidParity: return HASTAT_PARITY_ERROR;
    case kDidReset: return HASTAT_BUS_RESET;
    default: return kHaStatUnspecified;
    }
}

}  // namespace

AspiStatus MapDeviceOutcome(const DeviceOutcome& outcome, uint32_t requested) {
    AspiStatus status;
    if (outcome.error != 0) {
        status.srbStatus = StatusForErrno(outcome.error);
        if (status.srbStatus == SS_ERR) status.haStat = kHaStatUnspecified;
        return status;
    }
    if (outcome.hostStatus == kDidAbort) {
        status.srbStatus = SS_ABORTED;
    } else if (outcome.hostStatus != kDidOk) {
        status.srbStatus = SS_ERR;
        status.haStat = HaStatForHost(outcome.hostStatus);
    } else if ((outcome.driverStatus & kDriverStatusMask) != 0) {
        status.srbStatus = SS_ERR;
        status.haStat = (outcome.driverStatus & kDriverStatusMask) == kDriverTimeout
                            ? HASTAT_COMMAND_TIMEOUT
                            : kHaStatUnspecified;
    }
    if (outcome.scsiStatus != 0) {
        status.targStat = outcome.scsiStatus;
        if (status.srbStatus == 0) status.srbStatus = SS_ERR;
    }
    if (status.srbStatus == 0) {
        status.srbStatus = SS_COMP;
        if (outcome.transferred < requested) status.haStat = HASTAT_DO_DU;
    }
    return status;
}

}  // namespace aspi
