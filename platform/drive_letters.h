// The drive-letter map of every drive bus: the attached optical drives, in order, are D:,
// E:, ... Z:.
#pragma once

#include <cstddef>

namespace platform {

constexpr char kFirstDriveLetter = 'D';
constexpr size_t kMaxLetteredDrives = 'Z' - kFirstDriveLetter + 1;

// The position in the list of drives that a letter names (either case), or -1 for a
// letter before D: or something that is no letter.
inline int DriveIndexForLetter(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < kFirstDriveLetter || letter > 'Z') return -1;
    return letter - kFirstDriveLetter;
}

}  // namespace platform
