// Reads the configuration file into the update configuration.
#pragma once

#include <cstdint>
#include <string>

#include "config/update_config.h"

// The name opened when the profile-named file cannot be.
inline constexpr const char* kFallbackConfigName = "zorvfirm.ini";

// Opens the profile-named file, else "zorvfirm.ini", through the platform's file system
// and reads its two sections into `config`. Returns 0, or 1 (no file, or a read error
// inside it), 2 (no "[UPGRADEINFORMATION]" line), 3 (no "[OPTION]" line after it),
// 5 (the file holds more than platform::kTextFileLimit bytes) or 9 (a text value too long
// for its field). The file is closed before returning.
// `doubleByte`: lines are code page 932 text (Japanese system), see UpperCaseLine.
uint8_t ReadConfigurationFile(const std::string& profileName, UpdateConfig& config,
                              bool doubleByte);
