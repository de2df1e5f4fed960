#include "update/worker_state.h"

std::atomic<uint32_t> ChunkCounter{0};
std::atomic<uint8_t> WorkerState{0};
