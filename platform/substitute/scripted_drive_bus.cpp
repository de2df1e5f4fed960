#include "platform/substitute/scripted_drive_bus.h"

#include <algorithm>
#include <cstring>

namespace platform::substitute {

void ScriptedDriveBus::ClearRecords() {
    driveTypeQueries_.clear();
    opens_.clear();
    alignmentQueries_.clear();
    requests_.clear();
    closes_.clear();
}

uint32_t ScriptedDriveBus::DriveType(char letter) {
    driveTypeQueries_.push_back(letter);
    auto found = drives_.find(letter);
    return found == drives_.end() ? kDriveNoRootDir : found->second.type;
}

DriveHandle ScriptedDriveBus::Open(char letter, bool readWrite) {
    DriveHandle handle = kInvalidDrive;
    auto found = drives_.find(letter);
    if (found != drives_.end()) {
        const DriveScript& script = found->second;
        bool fails = readWrite ? script.openReadWriteFails : script.openReadOnlyFails;
        if (!fails) {
            handle = nextHandle_++;
            openHandles_[handle] = letter;
        }
    }
    opens_.push_back({letter, readWrite, handle});
    return handle;
}

bool ScriptedDriveBus::QueryAlignmentMask(DriveHandle handle, uint32_t* mask) {
    alignmentQueries_.push_back(handle);
    auto open = openHandles_.find(handle);
    if (open == openHandles_.end()) return false;
    const DriveScript& script = drives_[open->second];
    if (script.alignmentQueryFails) return false;
    *mask = script.alignmentMask;
    return true;
}

ScriptedDriveBus::Answer ScriptedDriveBus::NextAnswer(const SentRequest& request) {
    auto own = perLetter_.find(request.letter);
    if (own != perLetter_.end() && !own->second.empty()) {
        Answer answer = own->second.front();
        own->second.erase(own->second.begin());
        return answer;
    }
    if (!shared_.empty()) {
        Answer answer = shared_.front();
        shared_.erase(shared_.begin());
        return answer;
    }
    if (responder_) return responder_(request);
    return DefaultAnswer;
}

bool ScriptedDriveBus::Send(DriveHandle handle, PassThroughBlock& block, uint32_t* systemError) {
    SentRequest request{};
    auto open = openHandles_.find(handle);
    request.letter = open == openHandles_.end() ? '\0' : open->second;
    request.handle = handle;
    request.sptd = block.Sptd;
    uint8_t cdbLength = std::min<uint8_t>(block.Sptd.CdbLength, sizeof block.Sptd.Cdb);
    request.cdb.assign(block.Sptd.Cdb, block.Sptd.Cdb + cdbLength);
    if (block.Sptd.DataIn == kDataOut && block.Sptd.DataBuffer != nullptr) {
        const auto* data = static_cast<const uint8_t*>(block.Sptd.DataBuffer);
        request.dataOut.assign(data, data + block.Sptd.DataTransferLength);
    }
    std::memcpy(request.senseBufferOnEntry, block.SenseBuffer, sizeof block.SenseBuffer);
    request.filler = block.Filler;
    requests_.push_back(request);

    if (open == openHandles_.end()) {
        *systemError = kErrorIoDevice;
        return false;
    }

    Answer answer = NextAnswer(requests_.back());
    block.Sptd.ScsiStatus = answer.scsiStatus;
    if (!answer.sense.empty()) {
        std::memcpy(block.SenseBuffer, answer.sense.data(),
                    std::min(answer.sense.size(), sizeof block.SenseBuffer));
    }
    if (block.Sptd.DataIn == kDataIn && block.Sptd.DataBuffer != nullptr &&
        !answer.dataIn.empty()) {
        size_t count = std::min<size_t>(answer.dataIn.size(), block.Sptd.DataTransferLength);
        std::memcpy(block.Sptd.DataBuffer, answer.dataIn.data(), count);
    }
    if (!answer.carriedOut) {
        *systemError = answer.systemError;
        return false;
    }
    return true;
}

void ScriptedDriveBus::Close(DriveHandle handle) {
    closes_.push_back(handle);
    openHandles_.erase(handle);
}

NodeAccess ScriptedDriveBus::DescribeNode(char letter) {
    auto node = nodes_.find(letter);
    return node == nodes_.end() ? NodeAccess{} : node->second;
}

}  // namespace platform::substitute
