// The SCSI bus the ASPI manager serves: host adapters, the targets on them, and a way to
// carry one command block to a target. Two buses exist: the system's SCSI generic
// devices (sysfs_bus.h) and the simulated drives (simulated_bus.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace aspi {

struct AdapterInfo {
    std::string identifier;  // the host's driver name, at most 16 characters are used
    uint8_t maxTargets = 8;  // targets 0..maxTargets-1 may answer
    uint16_t alignMask = 0;  // buffer alignment the adapter needs (2^k - 1)
};

enum class DataDirection { None, In, Out };

// What happened to one command on the device, in the terms of the Linux SG_IO request,
// whichever bus carried it. The manager turns it into ASPI statuses (status_mapping.h).
struct DeviceOutcome {
    int error = 0;               // errno of the open or the request; 0 when it was carried out
    uint8_t scsiStatus = 0;      // SCSI status byte
    uint16_t hostStatus = 0;     // DID_* of the low-level driver
    uint16_t driverStatus = 0;   // DRIVER_* of the mid layer
    uint32_t transferred = 0;    // data bytes actually moved
    std::vector<uint8_t> sense;  // sense data written by the device, possibly empty
};

// A command handed to a device whose answer has not been collected yet.
class StartedCommand {
public:
    virtual ~StartedCommand() = default;
    // Takes the outcome if the device has already answered; false (nothing taken) if not.
    virtual bool TryCollect(DeviceOutcome* outcome) = 0;
    // Waits for the answer and takes the outcome; called at most once, on any thread.
    virtual DeviceOutcome Collect() = 0;
};

class Bus {
public:
    virtual ~Bus() = default;
    virtual int AdapterCount() const = 0;
    // False when there is no such adapter.
    virtual bool Adapter(int adapter, AdapterInfo* info) const = 0;
    // The peripheral device type of a target; false when nothing answers at that address.
    virtual bool DeviceType(int adapter, int target, int lun, uint8_t* type) const = 0;
    // True when a device is known at that address (the command can be tried).
    virtual bool HasDevice(int adapter, int target, int lun) const = 0;
    // Carries out one command; blocks until the device answers or gives up. `data` holds
    // `length` bytes to send (Out) or room for them (In). Safe to call from any thread.
    virtual DeviceOutcome Execute(int adapter, int target, int lun, const uint8_t* cdb,
                                  uint8_t cdbLength, DataDirection direction, uint8_t* data,
                                  uint32_t length) = 0;
    // Hands one command to the device without waiting for its answer, where the bus can;
    // `cdb` and `data` stay valid until the answer is collected. By default nothing
    // happens until Collect, which carries the command out with Execute.
    virtual std::unique_ptr<StartedCommand> Start(int adapter, int target, int lun,
                                                  const uint8_t* cdb, uint8_t cdbLength,
                                                  DataDirection direction, uint8_t* data,
                                                  uint32_t length);
    // True when Start has taken the outgoing data (Out) by the time it returns, so that
    // `data` is not read afterwards and may be the caller's own buffer.
    virtual bool StartTakesOutgoingData() const { return false; }
};

}  // namespace aspi
