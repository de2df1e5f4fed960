// A simulated optical drive: answers SCSI command blocks the way a CD/DVD drive with
// updatable firmware does, and records every command it receives.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class Direction { None, In, Out };

// What happened to one command.
struct Response {
    enum class Outcome {
        Completed,  // status and sense below are valid
        TimedOut,   // the drive did not answer in time
        Vanished,   // the device is gone
    };
    Outcome outcome = Outcome::Completed;
    uint8_t status = 0;      // SCSI status: 0 GOOD, 2 CHECK CONDITION, 8 BUSY
    uint8_t sense[18] = {};  // fixed-format sense data when status is CHECK CONDITION
    uint32_t transferred = 0;
};

struct LoggedCommand {
    std::vector<uint8_t> cdb;
    Direction direction;
    uint32_t length;
};

struct DriveDescription;  // sim/description.h
struct DriveState;        // sim/drive_state.h

// The drive's sense of time: the system's steady clock unless a test hands in its own, so
// that programming lasts, and a late answer takes, only the time the test lets pass.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    // Any fixed origin; only differences count.
    virtual std::chrono::milliseconds Now() = 0;
    // Called (outside the drive's lock) when an answer comes `duration` late.
    virtual void Pass(std::chrono::milliseconds duration) = 0;
};

// A command's answer as the drive has decided it, and how late it comes.
struct LateAnswer {
    Response response;
    std::chrono::milliseconds late{0};  // 0: the answer is there at once
    std::shared_ptr<TimeSource> time;   // the drive's time then; null: the steady clock
    // Lets the lateness pass (on `time`, else by sleeping); call outside any lock.
    void Await() const;
};

class Drive {
public:
    explicit Drive(const DriveDescription& description);
    ~Drive();

    // Carries out one command. `data` receives (In) or supplies (Out) `length` bytes.
    // Thread-safe: commands from several threads are served one at a time.
    Response Execute(const uint8_t* cdb, size_t cdbLength, Direction direction, uint8_t* data,
                     uint32_t length);
    // The same without waiting for a late answer: the command is carried out (data moves
    // and the log grows now), and the answer says how late it comes.
    LateAnswer Start(const uint8_t* cdb, size_t cdbLength, Direction direction, uint8_t* data,
                     uint32_t length);

    std::vector<LoggedCommand> Log() const;
    // The INQUIRY revision the drive reports now (changes after a successful flash).
    std::string Revision() const;

    // The version the secondary image buffer 0x84 reports now (7 bytes).
    std::string SecondaryVersion() const;
    // The secondary image area as last committed with buffer id 0x82 (empty before).
    std::vector<uint8_t> CommittedSecondaryImage() const;
    // Completed flash programmings.
    uint32_t FlashCount() const;
    // `length` bytes of the vendor memory that 0xF5 reads and 0xF0 writes.
    std::vector<uint8_t> VendorMemory(uint32_t address, uint32_t length) const;
    // Moves the drive's own clock forward, so that tests can let the programming time
    // pass without waiting for it.
    void AdvanceClock(std::chrono::milliseconds step);
    // From now on the drive's clock is `time` (null: the steady clock again), and answers
    // that come late let time pass on it instead of sleeping.
    void UseTimeSource(std::shared_ptr<TimeSource> time);
    // The image of the latest final chunk the drive accepted (empty before), as it was
    // programmed, for tests that check every byte arrived where it belongs.
    std::vector<uint8_t> FlashedImage() const;

private:
    mutable std::mutex mutex_;
    std::unique_ptr<DriveState> state_;
};

}  // namespace sim
