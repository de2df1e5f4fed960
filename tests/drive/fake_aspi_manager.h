// An ASPI manager for tests, installed through the library loader so that the real ASPI
// transport talks to it. Host adapters and targets are described by the test; commands
// go to simulated drives, or are answered with fixed data. Every request is recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "aspi/aspi_interface.h"
#include "platform/platform.h"
#include "platform/substitute/scripted_library_loader.h"
#include "sim/sim_drive.h"

namespace drive_test {

struct FakeTarget {
    bool deviceTypeFails = false;
    uint8_t deviceType = 5;
    std::shared_ptr<sim::Drive> drive;  // receives the commands when set
    std::vector<uint8_t> dataIn;        // otherwise: the answer to every data-in command
};

struct FakeAdapter {
    bool inquiryFails = false;
    uint8_t unique[16] = {};  // HA_Unique: alignment mask in bytes 0 and 1, targets in 3
    std::map<uint8_t, FakeTarget> targets;
};

// The ending of one execute request, used instead of carrying the command out.
struct FakeOutcome {
    uint8_t status = SS_COMP;
    uint8_t haStat = 0;
    uint8_t targStat = 0;
    uint8_t senseKey = 0;
};

struct ExecutedRequest {
    SRB_ExecSCSICmd request;       // as received
    std::vector<uint8_t> dataOut;  // the bytes at SRB_BufPointer for a data-out request
};

struct FakeAspiManager {
    std::vector<FakeAdapter> adapters;  // HA_Count is their number
    std::deque<FakeOutcome> queuedOutcomes;

    std::vector<uint8_t> hostAdapterInquiries;
    std::vector<std::pair<uint8_t, uint8_t>> deviceTypeQueries;  // adapter, target
    std::vector<ExecutedRequest> executed;
};

// Makes `manager` the loaded ASPI library (through AspiOpen) for the object's lifetime.
class ScopedFakeAspi {
public:
    explicit ScopedFakeAspi(FakeAspiManager& manager);
    ~ScopedFakeAspi();
    ScopedFakeAspi(const ScopedFakeAspi&) = delete;
    ScopedFakeAspi& operator=(const ScopedFakeAspi&) = delete;
    bool Opened() const { return opened_; }

private:
    platform::substitute::ScriptedLibraryLoader loader_;
    std::optional<platform::ScopedService<platform::LibraryLoader>> services_;
    bool opened_ = false;
};

}  // namespace drive_test
