#include "scsi/aligned_buffer.h"

#include <cstdlib>

// Buffers come from malloc (mask 0) or posix_memalign (any other mask), so free() always
// releases the whole underlying allocation, whatever its start, and nothing here throws.

namespace {

// The smallest alignment that clears every bit of `mask` in the address: mask + 1 for
// masks of the form 2^k - 1, the next power of two above the mask for any other value.
// posix_memalign also wants at least the size of a pointer.
size_t AlignmentFor(uint32_t mask) {
    size_t alignment = sizeof(void*);
    while (alignment <= mask) alignment <<= 1;
    return alignment;
}

}  // namespace

uint8_t* AllocAligned(uint32_t length, uint32_t mask) {
    // An empty transfer still gets a real buffer: asking for one byte keeps the result
    // non-null on every C library.
    size_t size = length == 0 ? 1 : length;
    if (mask == 0) return static_cast<uint8_t*>(std::malloc(size));

    void* block = nullptr;
    if (posix_memalign(&block, AlignmentFor(mask), size) != 0) return nullptr;
    return static_cast<uint8_t*>(block);
}

void FreeAligned(uint8_t* buffer) { std::free(buffer); }
