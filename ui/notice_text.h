// What the notice dialog shows, derived from the first identity of the configuration, the
// drive class and the language: names, title and the notice itself. UTF-8 throughout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

struct NoticeIdentity {
    std::string vendor;          // first 8 characters, trailing blanks removed
    std::string model;           // second word of the product part (or its only word)
    std::string product;         // product part cut at ';', trailing blanks removed
    std::string japaneseVendor;  // the katakana name for the vendor word, else vendor
    bool ourLogo = false;        // the first 8 characters are the vendor word and a blank
};

// From the identity list as read from the configuration (bytes, possibly not UTF-8).
NoticeIdentity DeriveNoticeIdentity(std::string_view patterns, bool japanese);

// "CD-R", "CD-R/RW", "CD-ROM", "DVD±R/RW" for drive classes 1 to 4, else empty.
std::string DriveClassWord(uint8_t cautionKind);

// "<model> Firmware <version> - Welcome".
std::string NoticeTitle(const NoticeIdentity& identity, std::string_view version);

// The notice: what the program does, the disclaimer and the caution, in the language.
std::string AssembleNoticeText(const NoticeIdentity& identity, const std::string& classWord,
                               bool japanese);

}  // namespace ui
