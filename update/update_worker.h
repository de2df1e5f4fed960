// The update worker: sends the image of the selected drive with WRITE BUFFER, waits for the
// drive to program its flash, and publishes its progress and outcome through WorkerState,
// ChunkCounter and LastErrorText (update/worker_state.h, scsi/failure_text.h).
#pragma once

// Performs the whole procedure on the calling thread when Run() is called. It has no data of
// its own: everything it reads is program-wide and does not change while it runs.
class CZVFUpdate {
public:
    CZVFUpdate() = default;
    void Run();
};

// The worker thread's entry: runs one CZVFUpdate and returns 0. The parameter is not used.
unsigned UpdateThreadProc(void* parameter);

// Starts UpdateThreadProc on a thread of its own. The caller has set ChunkCounter and
// WorkerState to 1 before. False when no thread could be started (nothing was sent then).
bool StartUpdateWorker();

// Waits until a worker started by StartUpdateWorker has ended; returns at once when none
// runs. Called when the program ends, so no worker outlives the records it reads.
void JoinUpdateWorker();
