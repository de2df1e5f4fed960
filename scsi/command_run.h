// A run of commands: a discovery walk, an update.
//
// Some of what a transport needs for one command costs more than most commands: opening a
// drive's node (the kernel builds and clears a reserve buffer for every open of a SCSI
// generic node) and reading the adapter's alignment from sysfs; making and closing the
// event an ASPI request signals. During a run the transports keep these for the next
// command: the pass-through transport each drive's opened node with its alignment, the ASPI
// transport its completion event. Outside a run every command makes its own and lets it
// go, so that no handle outlives it.
//
// Threads: each thread keeps its own, and a run covers only the commands of the thread
// that began it; nothing here is shared between threads.
#pragma once

#include <cstdint>

#include "platform/events.h"
#include "platform/pass_through.h"

// While an object of this class lives, the commands of this thread keep what they open.
// Runs nest; the outermost one lets everything go when it ends.
class CommandRun {
public:
    CommandRun();
    ~CommandRun();
    CommandRun(const CommandRun&) = delete;
    CommandRun& operator=(const CommandRun&) = delete;
};

// --- For the pass-through transport --------------------------------------------------------

// A drive opened for one command.
struct OpenedDrive {
    platform::DriveBus* Bus = nullptr;  // the bus it was opened on
    platform::DriveHandle Handle = platform::kInvalidDrive;
    uint32_t AlignMask = 0;  // 0 when the adapter's alignment cannot be queried
};

// The drive of `letter` on the platform's drive bus, opened for reading and writing, else
// for reading alone: the kept node during a run, else a new one. Handle is kInvalidDrive
// when the drive does not open.
OpenedDrive OpenDriveForCommand(char letter);

// Ends a command on a drive from OpenDriveForCommand. Outside a run the drive is closed. In
// a run it stays open unless the request was not carried out: the node may be gone (a
// drive removed or reset), so the next command opens it again.
void EndDriveCommand(char letter, const OpenedDrive& drive, bool carriedOut);

// --- For the ASPI transport ------------------------------------------------------------------

// During a run: the run's completion event, made on the platform's events now if need be
// (null when it cannot be made). It is not reset between commands: it may still hold the
// signal of a request that completed before its call returned. Outside a run: null, and
// the command makes its own.
platform::Event* KeptCompletionEvent();

// After a request was given up: the manager may still signal it late, and that signal must
// never end the wait of a later command, so the run makes a new event for the next one.
void DiscardCompletionEvent();
