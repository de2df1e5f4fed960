// The ASPI manager: answers the requests of the ASPI for Win32 interface from a bus.
// Execute requests run on a thread of their own and complete asynchronously.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "aspi/aspi_bus.h"
#include "aspi/aspi_interface.h"

namespace aspi {

// Largest data transfer one execute request may ask for (WRITE BUFFER lengths are 24-bit).
constexpr uint32_t kMaxTransferLength = 16u * 1024 * 1024;

class Manager {
public:
    explicit Manager(std::unique_ptr<Bus> bus);

    // SS_COMP in bits 8..15 and the adapter count in bits 0..7, or SS_NO_ADAPTERS.
    uint32_t SupportInfo() const;
    // Carries out one request record; returns the SRB_Status it has on return (SS_PENDING
    // for an execute request that is still running).
    uint32_t Send(void* srb);

private:
    struct Job;
    // What request threads share with the manager; they keep it alive on their own, so
    // the manager may go while a request is still running.
    struct Shared {
        std::unique_ptr<Bus> bus;
        std::mutex pendingMutex;
        std::map<const void*, std::shared_ptr<Job>> pending;  // by request record
    };

    void HostAdapterInquiry(SRB_HAInquiry& request) const;
    void GetDeviceType(SRB_GDEVBlock& request) const;
    uint8_t Execute(SRB_ExecSCSICmd& request);
    void Abort(SRB_Abort& request);
    static void Run(Shared& shared, const std::shared_ptr<Job>& job);
    static void Forget(Shared& shared, const std::shared_ptr<Job>& job);

    std::shared_ptr<Shared> shared_;
    Bus& bus_;
};

}  // namespace aspi
