// The small text rules of the configuration file: case folding, key tests, values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The line with a-z turned into A-Z; nothing else changes and the length stays, so an
// offset into the result is the same offset into the line. With `doubleByte` (the
// Japanese code page 932) a lead byte (0x81-0x9F, 0xE0-0xFC) keeps its following byte
// as it is, since that trail byte may lie in the a-z range without being a letter.
std::string UpperCaseLine(std::string_view line, bool doubleByte);

// True when `line` begins with `key` exactly, at its first character.
bool BeginsWith(std::string_view line, std::string_view key);

// A decimal number: leading white space skipped, an optional sign, digits up to the first
// non-digit; 0 without digits. The result wraps modulo 2^32 ("-1" is 0xFFFFFFFF); callers
// keep the low bits of narrower fields.
uint32_t ReadNumber(std::string_view value);

// Copies `value` up to its end or its first zero byte into a text field of `room` bytes
// (room - 1 characters and a zero byte). Returns false, leaving the field as it was, when
// the text does not fit.
bool StoreText(char* field, size_t room, std::string_view value);
// As StoreText, but a text that does not fit is cut to the room, never inside a
// character: a valid UTF-8 text is cut before a multi-byte sequence, and with
// `doubleByte` a code page 932 text before a lead byte whose trail would be lost (a half
// character would make the whole title undecodable for the window).
void StoreTextCut(char* field, size_t room, std::string_view value, bool doubleByte);
