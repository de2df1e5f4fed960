// Finding the attached optical drives whose INQUIRY identity matches the package.
#pragma once

#include <cstdint>

// Fills DriveTable with the matching drives and returns their number (0 to 100).
uint32_t DiscoverDrives();

// True when one ';'-ended item of `list` is a prefix of `identity`: INQUIRY data bytes 8 to
// 39 (vendor, product and revision, then zero bytes). Item positions past those 32 bytes
// never match, so nothing beyond them is read.
bool MatchIdentity(const uint8_t* identity, const char* list);
