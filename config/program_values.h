// Program-wide values shared like UpdateConfig and living for the whole run.
#pragma once

#include <cstdint>

extern uint32_t Lcid;            // user's default locale; 1041 selects Japanese texts
extern uint8_t DriveCount;       // valid entries in the drive table
extern uint16_t SelectedDrive;   // index of the chosen drive in the drive table

constexpr uint32_t kLcidJapanese = 1041;

// True when texts are shown in Japanese.
inline bool UseJapanese() { return Lcid == kLcidJapanese; }
