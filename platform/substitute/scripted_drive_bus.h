// A drive bus for tests: records every call the program makes and answers from a script.
//
// Usage:
//   platform::substitute::ScriptedDriveBus bus;
//   bus.SetDrive('D', {});                              // an optical drive that opens
//   bus.QueueAnswer(ScriptedDriveBus::Answer().Status(2).Sense({0x70, 0, 0x05}));
//   platform::Services services = platform::Platform();
//   services.Drives = &bus;
//   platform::ScopedServices scoped(services);
//   ... run the code under test ...
//   bus.Requests()[0].cdb, bus.Opens(), bus.OpenHandleCount() ...
//
// Letters without SetDrive are "no such drive": DriveType reports kDriveNoRootDir and
// both opens fail. Answers for Send are taken, in this order, from the letter's own queue,
// the shared queue, the responder, and finally DefaultAnswer (carried out, status GOOD).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/pass_through.h"

namespace platform::substitute {

class ScriptedDriveBus final : public DriveBus {
public:
    // How one drive letter behaves.
    struct DriveScript {
        uint32_t type = kDriveCdrom;
        bool openReadWriteFails = false;
        bool openReadOnlyFails = false;
        bool alignmentQueryFails = false;
        uint32_t alignmentMask = 0;
    };

    // The answer to one request. Build it with the setters, e.g.
    //   Answer().Status(2).Sense({0x70, 0, 0x09, ...})   CHECK CONDITION with sense data
    //   Answer().Data(inquiryBytes)                       GOOD, data delivered
    //   Answer().Fails(1117)                              request failed, no sense data
    struct Answer {
        bool carriedOut = true;  // false: Send fails with systemError
        uint32_t systemError = 0;
        uint8_t scsiStatus = 0;       // written to ScsiStatus
        std::vector<uint8_t> sense;   // written to the start of SenseBuffer (at most 32)
        std::vector<uint8_t> dataIn;  // for DataIn 1: copied to DataBuffer, at most
                                      // DataTransferLength bytes

        Answer& Status(uint8_t status) {
            scsiStatus = status;
            return *this;
        }
        Answer& Sense(std::vector<uint8_t> bytes) {
            sense = std::move(bytes);
            return *this;
        }
        Answer& Data(std::vector<uint8_t> bytes) {
            dataIn = std::move(bytes);
            return *this;
        }
        Answer& Fails(uint32_t error) {
            carriedOut = false;
            systemError = error;
            return *this;
        }
    };

    struct OpenCall {
        char letter;
        bool readWrite;
        DriveHandle handle;  // kInvalidDrive when the script made it fail
    };

    // One request as the bus saw it when Send was called.
    struct SentRequest {
        char letter;
        DriveHandle handle;
        ScsiPassThroughDirect sptd;    // the whole record as sent (DataBuffer, TimeOutValue...)
        std::vector<uint8_t> cdb;      // the first CdbLength bytes of Cdb
        std::vector<uint8_t> dataOut;  // for DataIn 0: copy of the DataTransferLength bytes
                                       // at DataBuffer
        uint8_t senseBufferOnEntry[32];
        uint32_t filler;
    };

    // Decides the answer from the request when no queued answer is left.
    using Responder = std::function<Answer(const SentRequest&)>;

    void SetDrive(char letter, const DriveScript& script) { drives_[letter] = script; }
    // What DescribeNode reports for the letter (nothing is known without it).
    void SetNode(char letter, const NodeAccess& node) { nodes_[letter] = node; }
    void QueueAnswer(const Answer& answer) { shared_.push_back(answer); }
    void QueueAnswer(char letter, const Answer& answer) { perLetter_[letter].push_back(answer); }
    void SetResponder(Responder responder) { responder_ = std::move(responder); }
    Answer DefaultAnswer;

    // What was called, in order.
    const std::vector<char>& DriveTypeQueries() const { return driveTypeQueries_; }
    const std::vector<OpenCall>& Opens() const { return opens_; }
    const std::vector<DriveHandle>& AlignmentQueries() const { return alignmentQueries_; }
    const std::vector<SentRequest>& Requests() const { return requests_; }
    const std::vector<DriveHandle>& Closes() const { return closes_; }
    // Handles opened and not closed yet.
    int OpenHandleCount() const { return static_cast<int>(openHandles_.size()); }
    void ClearRecords();

    uint32_t DriveType(char letter) override;
    DriveHandle Open(char letter, bool readWrite) override;
    bool QueryAlignmentMask(DriveHandle handle, uint32_t* mask) override;
    bool Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) override;
    void Close(DriveHandle handle) override;
    NodeAccess DescribeNode(char letter) override;

private:
    Answer NextAnswer(const SentRequest& request);

    std::map<char, DriveScript> drives_;
    std::map<char, NodeAccess> nodes_;
    std::vector<Answer> shared_;
    std::map<char, std::vector<Answer>> perLetter_;
    Responder responder_;

    std::vector<char> driveTypeQueries_;
    std::vector<OpenCall> opens_;
    std::vector<DriveHandle> alignmentQueries_;
    std::vector<SentRequest> requests_;
    std::vector<DriveHandle> closes_;
    std::map<DriveHandle, char> openHandles_;
    DriveHandle nextHandle_ = 10;
};

}  // namespace platform::substitute
