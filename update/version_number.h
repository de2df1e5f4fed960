// Firmware version strings such as "1.04" read as numbers for comparison.
#pragma once

// The number a "%f" conversion reads from the four characters (not zero-terminated), in
// the C locale whatever locale the user has chosen: a German or French locale would
// otherwise stop at the point and read "1.04" as 1. 0.0 when no number can be read.
float ReadVersionNumber(const char* fourCharacters);
