// The update worker's phase and progress, written by the worker and read by the monitor.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<uint32_t> ChunkCounter;
extern std::atomic<uint8_t> WorkerState;
