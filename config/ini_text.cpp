#include "config/ini_text.h"

#include <cstring>

namespace {

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Length of the text as a zero-terminated field would hold it.
size_t TextLength(std::string_view value) {
    const size_t zero = value.find('\0');
    return zero == std::string_view::npos ? value.size() : zero;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (byte < 0x80)
            extra = 0;
        else if (byte >= 0xC2 && byte <= 0xDF)
            extra = 1;
        else if (byte >= 0xE0 && byte <= 0xEF)
            extra = 2;
        else if (byte >= 0xF0 && byte <= 0xF4)
            extra = 3;
        else
            return false;
        if (extra > 0 && i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

// The longest prefix of `text` of at most `limit` bytes that ends between characters.
size_t CutAtCharacter(std::string_view text, size_t limit, bool doubleByte) {
    if (IsValidUtf8(text)) {
        while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
        return limit;
    }
    if (!doubleByte) return limit;
    size_t i = 0;
    while (i < limit) {
        const size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > limit) break;
        i += width;
    }
    return i;
}

}  // namespace

std::string UpperCaseLine(std::string_view line, bool doubleByte) {
    std::string upper(line);
    for (size_t i = 0; i < upper.size(); ++i) {
        const auto byte = static_cast<unsigned char>(upper[i]);
        if (doubleByte && IsLeadByte(byte)) {
            ++i;  // the trail byte belongs to the character and stays as it is
            continue;
        }
        if (byte >= 'a' && byte <= 'z') upper[i] = static_cast<char>(byte - 'a' + 'A');
    }
    return upper;
}

bool BeginsWith(std::string_view line, std::string_view key) {
    return line.substr(0, key.size()) == key;
}

uint32_t ReadNumber(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && IsWhiteSpace(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps instead of overflowing, whatever the number of digits.
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    }
    return negative ? 0u - number : number;
}

bool StoreText(char* field, size_t room, std::string_view value) {
    const size_t length = TextLength(value);
    if (length >= room) return false;
    std::memcpy(field, value.data(), length);
    field[length] = '\0';
    return true;
}

void StoreTextCut(char* field, size_t room, std::string_view value, bool doubleByte) {
    size_t length = TextLength(value);
    if (length >= room) length = CutAtCharacter(value.substr(0, length), room - 1, doubleByte);
    std::memcpy(field, value.data(), length);
    field[length] = '\0';
}
