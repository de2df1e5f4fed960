#include "drive/display_text.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace {

// INQUIRY positions of the shown identity (vendor and product) and of the revision.
constexpr size_t kIdentityOffset = 8;
constexpr size_t kIdentityLength = 24;
constexpr size_t kRevisionOffset = 32;
constexpr size_t kRevisionLength = 4;

// The INQUIRY fields are padded with blanks, not zero-terminated: take at most
// `length` bytes and stop early at a zero byte.
void AppendField(std::string& text, const uint8_t* field, size_t length) {
    for (size_t i = 0; i < length && field[i] != 0; ++i) {
        text.push_back(static_cast<char>(field[i]));
    }
}

void AppendIdentityAndRevision(std::string& text, const uint8_t* inquiry) {
    AppendField(text, inquiry + kIdentityOffset, kIdentityLength);
    text.push_back(' ');
    AppendField(text, inquiry + kRevisionOffset, kRevisionLength);
}

void Store(DriveEntry& entry, const std::string& text) {
    const size_t length = std::min(text.size(), sizeof(entry.DisplayText) - 1);
    text.copy(entry.DisplayText, length);
    entry.DisplayText[length] = '\0';
}

}  // namespace

void FormatAspiDisplayText(DriveEntry& entry, const uint8_t* inquiry) {
    std::string text = "(" + std::to_string(entry.HaId) + "," + std::to_string(entry.Target) + ") ";
    AppendIdentityAndRevision(text, inquiry);
    Store(entry, text);
}

void FormatLetterDisplayText(DriveEntry& entry, const uint8_t* inquiry) {
    std::string text;
    AppendField(text, reinterpret_cast<const uint8_t*>(entry.DriveLetter),
                sizeof(entry.DriveLetter));
    text += ":\\ [";
    AppendIdentityAndRevision(text, inquiry);
    text.push_back(']');
    Store(entry, text);
}
