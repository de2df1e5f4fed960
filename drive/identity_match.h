// Matching a drive's INQUIRY identity against the package's list of identities.
#pragma once

#include <cstdint>

// True when one ';'-ended item of `list` is a prefix of `identity`: INQUIRY data bytes 8 to
// 39 (vendor, product and revision, then zero bytes). Item positions past those 32 bytes
// never match, so nothing beyond them is read.
bool MatchIdentity(const uint8_t* identity, const char* list);
