// The texts start-up shows when it has to end early, in English and Japanese.
#pragma once

#include <cstdint>
#include <string>

// Title of every start-up error box, in both languages.
extern const char* const kStartupErrorTitle;

enum class StartupFailure { AspiLoadFailed, AspiNotFound, NoDriveFound };

// The message for a non-zero code of LoadConfiguration, with the code filled in.
std::string ConfigurationFailureText(uint8_t code, bool japanese);
std::string StartupFailureText(StartupFailure failure, bool japanese);
