// Buffers for outgoing command data, aligned to a host adapter's requirement.
#pragma once

#include <cstdint>

// A buffer of at least `length` bytes whose address is a multiple of mask + 1 (mask of the
// form 2^k - 1), or null when memory runs out. A length of 0 gives a valid empty buffer.
uint8_t* AllocAligned(uint32_t length, uint32_t mask);
// Frees the whole allocation behind a buffer from AllocAligned; null is ignored.
void FreeAligned(uint8_t* buffer);
