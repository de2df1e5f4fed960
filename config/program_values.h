// The language of the run's texts: a program-wide value set once during start-up.
#pragma once

#include <cstdint>

// The user's default locale; 1041 selects Japanese texts. Written by start-up before any
// text is chosen, on the GUI thread, and only read afterwards (by the worker too).
extern uint32_t Lcid;

constexpr uint32_t kLcidJapanese = 1041;

// True when texts are shown in Japanese.
inline bool UseJapanese() { return Lcid == kLcidJapanese; }
