// The ASPI manager: answers the requests of the ASPI for Win32 interface from a bus.
// An execute request is handed to the device at once. When the device has answered by
// then, the request completes before Send returns; otherwise it completes asynchronously,
// on one request thread per host adapter that collects the adapter's answers in the order
// the requests came.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
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
    // Requests still in flight are collected and completed all the same; the request
    // threads end after them.
    ~Manager();
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // SS_COMP in bits 8..15 and the adapter count in bits 0..7, or SS_NO_ADAPTERS.
    uint32_t SupportInfo() const;
    // Carries out one request record; returns the SRB_Status it has on return (SS_PENDING
    // for an execute request that is still running).
    uint32_t Send(void* srb);

private:
    struct Job;
    // The requests waiting for one adapter's request thread, oldest first.
    struct AdapterQueue {
        std::deque<std::shared_ptr<Job>> jobs;
        std::condition_variable work;  // notified when a job is queued or the manager goes
        bool served = false;           // its request thread has been started
    };
    // What request threads share with the manager; they keep it alive on their own, so
    // the manager may go while a request is still running. Threads: the caller's threads
    // (Send) and the request threads; every field below `bus` is read and written only
    // under `mutex`.
    struct Shared {
        std::unique_ptr<Bus> bus;
        std::mutex mutex;
        std::map<const void*, std::shared_ptr<Job>> pending;  // by request record
        std::map<int, AdapterQueue> queues;                   // by adapter
        bool closing = false;  // the manager is gone; threads end once their queue is empty
    };

    void HostAdapterInquiry(SRB_HAInquiry& request) const;
    void GetDeviceType(SRB_GDEVBlock& request) const;
    uint8_t Execute(SRB_ExecSCSICmd& request);
    void Abort(SRB_Abort& request);
    // Starts the adapter's request thread unless it runs; false when it cannot be started.
    bool Serve(int adapter);
    // The request thread of one adapter: collects the answers of its queued jobs.
    static void CollectAnswers(const std::shared_ptr<Shared>& shared, int adapter);
    // Fills the caller's record from the outcome and signals `event` (if not -1), unless
    // the caller gave the request up.
    static void Deliver(Job& job, const DeviceOutcome& outcome, int event);
    static void Forget(Shared& shared, const std::shared_ptr<Job>& job);

    std::shared_ptr<Shared> shared_;
    Bus& bus_;
};

}  // namespace aspi
