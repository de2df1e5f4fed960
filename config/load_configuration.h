// Reads the configuration file, loads the firmware images and settles identity and title.
#pragma once

#include <cstdint>
#include <string>

// Result codes of LoadConfiguration.
constexpr uint8_t kConfigOk = 0;
constexpr uint8_t kConfigFileNotFound = 1;
constexpr uint8_t kConfigNoUpgradeSection = 2;
constexpr uint8_t kConfigNoOptionSection = 3;
constexpr uint8_t kConfigNoFirmwareSize = 4;
constexpr uint8_t kConfigNoMemory = 5;
constexpr uint8_t kConfigBadChunkSize = 6;
constexpr uint8_t kConfigIdentityIncomplete = 7;
constexpr uint8_t kConfigInquiryWithoutSeparator = 8;
constexpr uint8_t kConfigValueTooLong = 9;
constexpr uint8_t kConfigImageNotFound = 10;
constexpr uint8_t kConfigImageReadFailed = 11;
constexpr uint8_t kConfigImageTooShort = 12;
constexpr uint8_t kConfigEpsNotFound = 20;
constexpr uint8_t kConfigEpsReadFailed = 21;
constexpr uint8_t kConfigEpsTooShort = 22;

// Fills Config from the profile-named file (else "zorvfirm.ini") in the current directory.
// Expects Config reset with its defaults and OsKind set. 0 on success, else a code above.
uint8_t LoadConfiguration(const std::string& profileName);
