// The update worker's phase and progress, written by the worker and read by the monitor.
//
// Threading contract (two threads, no lock):
// - Before the worker starts, the GUI thread sets ChunkCounter and WorkerState to 1; the
//   thread start (StartUpdateWorker) orders these stores before everything the worker does.
// - While the worker runs it is the only writer of WorkerState, ChunkCounter and
//   LastErrorText (scsi/failure_text.h); the GUI thread only reads them, and sends no drive
//   command.
// - The worker stores with release ordering; the monitor loads with acquire ordering.
// - A failure is announced by storing ChunkCounter 0 (failure during the transfer) or
//   WorkerState 0 (any later failure). LastErrorText is written completely before that
//   release store, so a monitor that has loaded the 0 with acquire ordering reads the
//   whole text. The monitor reads LastErrorText only after it has seen a failure, and the
//   worker does not touch it again during that update.
// - After JoinUpdateWorker has returned, both are plain values again for the GUI thread.
//
// WorkerState: 1 running (set before the start), 4 writing the secondary image, 2 done,
// 0 failed. ChunkCounter: 1 at the start, 1 + the non-final chunks of the first pass sent,
// 0 after a failed non-final chunk of the first pass and after success.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<uint32_t> ChunkCounter;
extern std::atomic<uint8_t> WorkerState;

constexpr uint8_t kWorkerFailed = 0;
constexpr uint8_t kWorkerRunning = 1;
constexpr uint8_t kWorkerDone = 2;
constexpr uint8_t kWorkerSecondaryImage = 4;
