#include "config/ini_sections.h"

#include <span>

#include "config/ini_text.h"

namespace {

enum class ValueKind { Title, Text, Number };

struct UpgradeKey {
    std::string_view key;
    ValueKind kind;
    std::span<char> (*text)(UpdateConfig&);
    uint32_t UpdateConfig::*number;
};

// In the order in which the keys are tested; none is the beginning of another.
const UpgradeKey kUpgradeKeys[] = {
    {"APPLICATIONTITLE=", ValueKind::Title,
     [](UpdateConfig& c) { return std::span<char>(c.AppTitle); }, nullptr},
    {"INQUIRY=", ValueKind::Text,
     [](UpdateConfig& c) { return std::span<char>(c.InquiryPatterns); }, nullptr},
    {"FIRMWAREFILENAME=", ValueKind::Text,
     [](UpdateConfig& c) { return std::span<char>(c.FirmwareFileName); }, nullptr},
    {"VERSION=", ValueKind::Text, [](UpdateConfig& c) { return std::span<char>(c.Version); },
     nullptr},
    {"FIRMWAREFILESIZE=", ValueKind::Number, nullptr, &UpdateConfig::FirmwareSize},
    {"BUFFERSIZE=", ValueKind::Number, nullptr, &UpdateConfig::BufferSize},
    {"EPS FIRMWAREFILENAME=", ValueKind::Text,
     [](UpdateConfig& c) { return std::span<char>(c.EpsFileName); }, nullptr},
    {"EPS FIRMWAREFILESIZE=", ValueKind::Number, nullptr, &UpdateConfig::EpsSize},
    {"EPS VERSION=", ValueKind::Text, [](UpdateConfig& c) { return std::span<char>(c.EpsVersion); },
     nullptr},
};

constexpr std::string_view kOptionHeader = "[OPTION]";

enum class OptionTest { No, Yes, Number };

struct OptionKey {
    std::string_view key;
    OptionTest test;
    uint8_t UpdateConfig::*field;
    uint8_t value;  // what a passed YES or NO test stores
};

// In the order in which the keys are tested. The four caution keys share one field, so
// the last of them that passes decides the notice.
constexpr OptionKey kOptionKeys[] = {
    {"USE SCSIPASSTHROUGHINTERFACE ON WINNT=", OptionTest::No, &UpdateConfig::NoPassThrough, 1},
    {"USE MELCO EXTERNAL DRIVE INQUIRY=", OptionTest::Yes, &UpdateConfig::MelcoInquiry, 1},
    {"USE PCB VERSION CHECK=", OptionTest::Number, &UpdateConfig::PcbCheck, 0},
    {"USE DELETE FILE=", OptionTest::No, &UpdateConfig::NoDeleteFile, 1},
    {"USE RESTART=", OptionTest::No, &UpdateConfig::NoRestartPrompt, 1},
    {"USE BINARY INFORMATION=", OptionTest::No, &UpdateConfig::NoBinaryInfo, 1},
    {"USE CDR CAUTION=", OptionTest::Yes, &UpdateConfig::CautionKind, 1},
    {"USE CDRW CAUTION=", OptionTest::Yes, &UpdateConfig::CautionKind, 2},
    {"USE CDROM CAUTION=", OptionTest::Yes, &UpdateConfig::CautionKind, 3},
    {"USE DVDRW CAUTION=", OptionTest::Yes, &UpdateConfig::CautionKind, 4},
    {"UPDATE WAIT TIME=", OptionTest::Number, &UpdateConfig::WaitSeconds, 0},
    {"USE TWICE UPDATE=", OptionTest::Yes, &UpdateConfig::TwiceUpdate, 1},
    {"USE UPDATE AFTER CMD=", OptionTest::Yes, &UpdateConfig::UpdateAfterCmd, 1},
};

}  // namespace

UpgradeLineResult ApplyUpgradeInformationLine(std::string_view line, std::string_view upper,
                                              UpdateConfig& config, bool doubleByte) {
    for (const UpgradeKey& key : kUpgradeKeys) {
        if (!BeginsWith(upper, key.key)) continue;
        const std::string_view value = line.substr(key.key.size());
        switch (key.kind) {
        case ValueKind::Title: {
            const std::span<char> field = key.text(config);
            StoreTextCut(field.data(), field.size(), value, doubleByte);
            break;
        }
        case ValueKind::Text: {
            const std::span<char> field = key.text(config);
            if (!StoreText(field.data(), field.size(), value))
                return UpgradeLineResult::ValueTooLong;
            break;
        }
        case ValueKind::Number: config.*key.number = ReadNumber(value); break;
        }
        return UpgradeLineResult::Done;
    }
    if (BeginsWith(upper, kOptionHeader)) return UpgradeLineResult::SectionEnds;
    return UpgradeLineResult::Done;
}

void ApplyOptionLine(std::string_view upper, UpdateConfig& config) {
    for (const OptionKey& key : kOptionKeys) {
        if (!BeginsWith(upper, key.key)) continue;
        const std::string_view value = upper.substr(key.key.size());
        switch (key.test) {
        case OptionTest::No:
            if (BeginsWith(value, "NO")) config.*key.field = key.value;
            break;
        case OptionTest::Yes:
            if (BeginsWith(value, "YES")) config.*key.field = key.value;
            break;
        case OptionTest::Number:
            // The field keeps the low 8 bits of the number.
            config.*key.field = static_cast<uint8_t>(ReadNumber(value));
            break;
        }
        return;
    }
}
