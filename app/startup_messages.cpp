#include "app/startup_messages.h"

#include <cstdio>

const char* const kStartupErrorTitle = "Error - Upgrade Program";

namespace {

struct Texts {
    const char* english;
    const char* japanese;
};

// Each holds one %d for the code.
constexpr Texts kIniNotFound{"INI file not found. (Code %d)",
                             "INIファイルが見つかりません。(Code %d)"};
constexpr Texts kFirmwareNotFound{"Firmware file not found. (Code %d)",
                                  "ファームウェアファイルが見つかりません。(Code %d)"};
constexpr Texts kFirmwareReadFailure{"Firmware file reading failure. (Code %d)",
                                     "ファームウェアの読み込みに失敗しました。(Code %d)"};
constexpr Texts kIniValueError{"INI file value error. (Code %d)",
                               "INIファイルの値が異常です。(Code %d)"};

constexpr Texts kAspiLoadFailed{"WNASPI32.DLL load failed.",
                                "WNASPI32.DLLのロードに失敗しました。"};
constexpr Texts kAspiNotFound{"ASPI32 not found.", "ASPI32が見つかりません。"};
constexpr Texts kNoDriveFound{"No drive found.", "ドライブが見つかりません。"};

const Texts& ForConfigurationCode(uint8_t code) {
    switch (code) {
    case 1: return kIniNotFound;
    case 10: return kFirmwareNotFound;
    case 11:
    case 12: return kFirmwareReadFailure;
    default:
        // Every other code, the secondary image's 20 to 22 included, is a value error.
        return kIniValueError;
    }
}

}  // namespace

std::string ConfigurationFailureText(uint8_t code, bool japanese) {
    const Texts& texts = ForConfigurationCode(code);
    char text[128];
    std::snprintf(text, sizeof text, japanese ? texts.japanese : texts.english,
                  static_cast<int>(code));
    return text;
}

std::string StartupFailureText(StartupFailure failure, bool japanese) {
    const Texts* texts = &kNoDriveFound;
    switch (failure) {
    case StartupFailure::AspiLoadFailed: texts = &kAspiLoadFailed; break;
    case StartupFailure::AspiNotFound: texts = &kAspiNotFound; break;
    case StartupFailure::NoDriveFound: texts = &kNoDriveFound; break;
    }
    return japanese ? texts->japanese : texts->english;
}
