// Stand-ins for the dry run: the update's own procedure (the checks and the worker) runs
// unchanged, while these decide what reaches the drive. Commands that only read (TEST UNIT
// READY, INQUIRY, REQUEST SENSE, READ BOARD INFO, READ BUFFER) go to the real drive, so the
// checks and the worker's decisions see the drive as it is; every other command is written
// into the plan, answered with success and never sent. Timed sleeps are written into the
// plan and return at once.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/pass_through.h"

struct PlannedStep {
    enum class Kind { Sent, NotSent, Wait };
    Kind Type = Kind::Sent;
    std::vector<uint8_t> Cdb;  // the command block, CdbLength bytes (commands only)
    uint32_t Length = 0;       // data bytes (commands), milliseconds (waits)
};

// One line of the printed plan.
std::string DescribeStep(const PlannedStep& step);

// The plan as it grows; written by whichever thread sends or sleeps.
class DryRunPlan {
public:
    void Add(PlannedStep step);
    std::vector<PlannedStep> Steps() const;

private:
    mutable std::mutex mutex_;
    std::vector<PlannedStep> steps_;
};

class DryRunDriveBus final : public platform::DriveBus {
public:
    // `secondaryVersion`: the 7 bytes the drive would report after a planned commit of the
    // secondary image (the package's version).
    DryRunDriveBus(platform::DriveBus& drives, DryRunPlan& plan, std::string secondaryVersion);

    uint32_t DriveType(char letter) override { return drives_.DriveType(letter); }
    platform::DriveHandle Open(char letter, bool readWrite) override;
    bool QueryAlignmentMask(platform::DriveHandle handle, uint32_t* mask) override {
        return drives_.QueryAlignmentMask(handle, mask);
    }
    bool Send(platform::DriveHandle handle, platform::PassThroughBlock& block,
              uint32_t* systemError) override;
    void Close(platform::DriveHandle handle) override { drives_.Close(handle); }
    platform::NodeAccess DescribeNode(char letter) override { return drives_.DescribeNode(letter); }

private:
    // Answers a READ BUFFER of data the plan wrote itself; false when the drive must answer.
    bool AnswerFromPlan(platform::PassThroughBlock& block);

    platform::DriveBus& drives_;
    DryRunPlan& plan_;
    const std::string secondaryVersion_;
    std::mutex mutex_;
    std::map<uint8_t, std::vector<uint8_t>> written_;  // buffer id -> bytes the plan wrote
    bool committed_ = false;                           // a secondary image commit is planned
};

class DryRunEvents final : public platform::EventFactory {
public:
    DryRunEvents(platform::EventFactory& events, DryRunPlan& plan) : events_(events), plan_(plan) {}
    std::unique_ptr<platform::Event> CreateAutoResetEvent() override;

private:
    platform::EventFactory& events_;
    DryRunPlan& plan_;
};
