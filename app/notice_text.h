// The welcome and disclaimer notice the user agrees to before a drive is changed, from the
// package's identity: the one wording for the notice dialog and for the terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/update_config.h"

// The names the notice uses, from the first identity of the package's list. The texts are
// the list's bytes; a caller that shows them converts each one (the dialog decodes legacy
// code pages, the terminal prints them as they are).
struct NoticeIdentity {
    std::string vendor;      // first 8 characters, trailing blanks removed
    std::string model;       // second word of the product part (or its only word), 16 at most
    std::string product;     // product part cut at ';', trailing blanks removed
    bool ourVendor = false;  // the vendor word is ours: the Japanese notice names it in katakana
    bool ourLogo = false;    // the first 8 characters are exactly our vendor word and a blank
};

NoticeIdentity DeriveNoticeIdentity(std::string_view patterns);

// "CD-R", "CD-R/RW", "CD-ROM", "DVD±R/RW" for drive classes 1 to 4, else empty (UTF-8).
std::string DriveClassWord(uint8_t cautionKind);

// "<model> Firmware <version> - Welcome".
std::string NoticeTitle(const NoticeIdentity& identity, std::string_view version);

// The notice: what the program does, the disclaimer and the caution, in the language; lines
// ended by CR LF.
std::string AssembleNoticeText(const NoticeIdentity& identity, const std::string& classWord,
                               bool japanese);

// The line saying that the ASPI manager is needed, in the language.
std::string AspiNeededText(bool japanese);
// Whether the package's run goes through the ASPI manager (the 9x family, or pass-through
// turned off), so that the notice carries AspiNeededText.
bool NoticeNamesAspi(const UpdateConfig& config);

// Everything the terminal shows of the notice, from the configuration as it stands.
struct NoticeParts {
    std::string Title;        // "<model> Firmware <version> - Welcome"
    std::string ProductLine;  // "<product>  Firmware"
    std::string VersionLine;  // "Version <version>"
    std::string AspiLine;     // empty unless the ASPI manager will be used
    std::string Notice;       // the notice, lines ended by CR LF
};

NoticeParts MakeNoticeParts(const UpdateConfig& config, bool japanese);
