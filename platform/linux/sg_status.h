// Host and driver bytes of a completed SG_IO request (host_status, driver_status). The
// kernel's UAPI headers do not name them; the values are fixed kernel ABI.
#pragma once

#include <cstdint>

namespace platform::linux_os::sg {

// Host bytes: the adapter's verdict.
constexpr uint16_t kDidOk = 0x00;
constexpr uint16_t kDidNoConnect = 0x01;
constexpr uint16_t kDidBusBusy = 0x02;
constexpr uint16_t kDidTimeOut = 0x03;
constexpr uint16_t kDidBadTarget = 0x04;
constexpr uint16_t kDidAbort = 0x05;
constexpr uint16_t kDidParity = 0x06;
constexpr uint16_t kDidReset = 0x08;
constexpr uint16_t kDidTransportFailfast = 0x0F;
constexpr uint16_t kDidAllocFailure = 0x12;

// Driver bytes: the low three bits are the driver's status; DRIVER_SENSE (0x08) only says
// that the sense buffer is valid; the upper bits are suggestions.
constexpr uint16_t kDriverStatusMask = 0x07;
constexpr uint16_t kDriverTimeout = 0x06;

}  // namespace platform::linux_os::sg
