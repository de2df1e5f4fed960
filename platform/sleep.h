// The program's sleep.
#pragma once

#include <cstdint>

// Blocks the calling thread for the given time by waiting on a new event that nobody
// signals; returns at once when no event can be created.
void SleepMs(uint32_t milliseconds);
