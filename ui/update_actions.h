// What the main dialog asks of the update engine and of the restart: one record of calls,
// so that the dialog can be run with substitutes in place of the real ones.
#pragma once

#include <functional>

struct UpdateActions {
    // The checks made before an update; true when it may start. They show their own boxes.
    std::function<bool()> CheckBeforeUpdate;
    // Starts the update worker (ChunkCounter and WorkerState are 1 already); false when no
    // thread could be started.
    std::function<bool()> StartWorker;
    // Waits until a started worker has ended; returns at once when none runs.
    std::function<void()> JoinWorker;
    // Starts the temporary copy that restarts the computer.
    std::function<void()> LaunchRestartCopy;
};

// The real engine and restart.
UpdateActions EngineUpdateActions();
