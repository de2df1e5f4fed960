#include "scsi/command_run.h"

#include <memory>

#include "platform/platform.h"

namespace {

struct KeptNode {
    bool kept = false;
    OpenedDrive drive;
};

thread_local KeptNode keptNodes[26];  // indexed by letter, 'A'..'Z'
thread_local int runDepth = 0;        // the runs this thread has begun and not yet ended

// The run's completion event and the factory that made it (events of a factory that a test
// has swapped out are not used again).
struct KeptEvent {
    platform::EventFactory* factory = nullptr;
    std::unique_ptr<platform::Event> event;
};
thread_local KeptEvent keptEvent;

KeptNode* KeptSlot(char letter) {
    if (letter < 'A' || letter > 'Z') return nullptr;
    return &keptNodes[letter - 'A'];
}

void Forget(KeptNode& node) {
    if (node.kept) node.drive.Bus->Close(node.drive.Handle);
    node = KeptNode{};
}

OpenedDrive OpenNow(platform::DriveBus& drives, char letter) {
    OpenedDrive opened;
    opened.Bus = &drives;
    opened.Handle = drives.Open(letter, true);
    if (opened.Handle == platform::kInvalidDrive) opened.Handle = drives.Open(letter, false);
    if (opened.Handle == platform::kInvalidDrive) return opened;
    if (!drives.QueryAlignmentMask(opened.Handle, &opened.AlignMask)) opened.AlignMask = 0;
    return opened;
}

}  // namespace

CommandRun::CommandRun() { ++runDepth; }

CommandRun::~CommandRun() {
    if (--runDepth > 0) return;
    for (KeptNode& node : keptNodes) Forget(node);
    keptEvent = KeptEvent{};
}

OpenedDrive OpenDriveForCommand(char letter) {
    platform::DriveBus& drives = *platform::Platform().Drives;
    KeptNode* slot = runDepth > 0 ? KeptSlot(letter) : nullptr;
    if (slot == nullptr) return OpenNow(drives, letter);
    // A node opened on another bus (a test swapped the service) is not this drive's.
    if (slot->kept && slot->drive.Bus != &drives) Forget(*slot);
    if (!slot->kept) {
        const OpenedDrive opened = OpenNow(drives, letter);
        if (opened.Handle == platform::kInvalidDrive) return opened;
        slot->kept = true;
        slot->drive = opened;
    }
    return slot->drive;
}

void EndDriveCommand(char letter, const OpenedDrive& drive, bool carriedOut) {
    if (drive.Handle == platform::kInvalidDrive) return;
    KeptNode* slot = runDepth > 0 ? KeptSlot(letter) : nullptr;
    if (slot != nullptr && slot->kept && slot->drive.Handle == drive.Handle &&
        slot->drive.Bus == drive.Bus) {
        if (!carriedOut) Forget(*slot);
        return;
    }
    drive.Bus->Close(drive.Handle);
}

platform::Event* KeptCompletionEvent() {
    if (runDepth == 0) return nullptr;
    platform::EventFactory* factory = platform::Platform().Events;
    if (keptEvent.event == nullptr || keptEvent.factory != factory) {
        keptEvent = KeptEvent{};
        keptEvent.event = factory->CreateAutoResetEvent();
        if (keptEvent.event == nullptr) return nullptr;
        keptEvent.factory = factory;
    }
    return keptEvent.event.get();
}

void DiscardCompletionEvent() { keptEvent = KeptEvent{}; }
