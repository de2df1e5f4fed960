#include "config/ini_reader.h"

#include <memory>

#include "config/ini_sections.h"
#include "config/ini_text.h"
#include "config/load_configuration.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kUpgradeHeader = "[UPGRADEINFORMATION]";
// Windows editors start a UTF-8 file with this mark; it is no part of the first line.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::unique_ptr<platform::TextFile> OpenConfigurationFile(const std::string& profileName) {
    platform::FileSystem& files = *platform::Platform().Files;
    std::unique_ptr<platform::TextFile> file = files.OpenText(profileName);
    if (file == nullptr) file = files.OpenText(kFallbackConfigName);
    return file;
}

// The code for a file that stopped giving lines before the section was complete. A read
// error is not taken for the end of the file: what follows it (options such as the
// restart prompt) would be lost silently and the load reported as a success. The file
// could not be read, which the "not found" code comes nearest to. A file too large to be
// a configuration gets the code of a buffer that cannot be held, as an oversized image
// does.
uint8_t EndedEarly(const platform::TextFile& file, uint8_t endOfFileCode) {
    if (file.TooLarge()) return kConfigNoMemory;
    return file.Failed() ? kConfigFileNotFound : endOfFileCode;
}

}  // namespace

uint8_t ReadConfigurationFile(const std::string& profileName, UpdateConfig& config,
                              bool doubleByte) {
    // The file is closed when `file` goes out of scope, on every return.
    const std::unique_ptr<platform::TextFile> file = OpenConfigurationFile(profileName);
    if (file == nullptr) return kConfigFileNotFound;

    std::string line;
    for (bool firstLine = true;; firstLine = false) {
        if (!file->ReadLine(line)) return EndedEarly(*file, kConfigNoUpgradeSection);
        if (firstLine && BeginsWith(line, kUtf8ByteOrderMark))
            line.erase(0, kUtf8ByteOrderMark.size());
        if (BeginsWith(UpperCaseLine(line, doubleByte), kUpgradeHeader)) break;
    }

    for (;;) {
        if (!file->ReadLine(line)) return EndedEarly(*file, kConfigNoOptionSection);
        const std::string upper = UpperCaseLine(line, doubleByte);
        const UpgradeLineResult result =
            ApplyUpgradeInformationLine(line, upper, config, doubleByte);
        if (result == UpgradeLineResult::ValueTooLong) return kConfigValueTooLong;
        if (result == UpgradeLineResult::SectionEnds) break;
    }

    while (file->ReadLine(line)) ApplyOptionLine(UpperCaseLine(line, doubleByte), config);
    return EndedEarly(*file, kConfigOk);
}
