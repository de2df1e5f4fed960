// What one line of each section of the configuration file does to the configuration.
#pragma once

#include <string_view>

#include "config/update_config.h"

enum class UpgradeLineResult {
    Done,          // taken or ignored
    SectionEnds,   // the "[OPTION]" header
    ValueTooLong,  // a text value (other than the title) that does not fit its field
};

// A line of "[UPGRADEINFORMATION]". Keys are tested on `upper` (the upper-cased line);
// values come from `line` as read, so text values keep their case. A title longer than
// its field is cut (never inside a character, see StoreTextCut).
UpgradeLineResult ApplyUpgradeInformationLine(std::string_view line, std::string_view upper,
                                              UpdateConfig& config, bool doubleByte);

// A line of "[OPTION]", keys and values both from the upper-cased line.
void ApplyOptionLine(std::string_view upper, UpdateConfig& config);
