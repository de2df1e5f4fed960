#include "drive/identity_match.h"

#include <cstddef>

namespace {
// Vendor, product and revision (28 bytes) and the zero bytes after them.
constexpr size_t kIdentitySize = 32;
}  // namespace

bool MatchIdentity(const uint8_t* identity, const char* list) {
    size_t position = 0;
    bool matching = true;
    for (const char* c = list; *c != '\0'; ++c) {
        if (*c == ';') {
            if (position > 0 && matching) return true;
            position = 0;
            matching = true;
            continue;
        }
        // A character beyond the identity data can never be matched, so the data is not
        // read there.
        if (position >= kIdentitySize || identity[position] != static_cast<uint8_t>(*c)) {
            matching = false;
        }
        ++position;
    }
    return false;
}
