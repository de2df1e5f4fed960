// The checks before an update: the board version, the firmware versions (the user may
// stop when the drive already has a later one), and the revision fix-up of one model.
#include "update/pre_update_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/program_values.h"
#include "config/update_config.h"
#include "drive/commands.h"
#include "platform/platform.h"
#include "scsi/drive_entry.h"
#include "update/version_number.h"

namespace {

constexpr uint32_t kBoardRecordAddress = 0xF8048;
constexpr uint16_t kBoardRecordLength = 16;
constexpr uint32_t kFixUpAddress = 0x3A;
// The vendor word with its trailing blank, then the two bytes that set the revision right.
constexpr uint8_t kFixUpBlock[10] = {'Z', 'O', 'R', 'V', 'A', 'N', 'T', ' ', 0x01, 0x02};
// Product identification (characters 8 to 23 of the first identity item) of the model
// whose revisions 1.00 and 1.01 need the fix-up.
constexpr char kFixUpProduct[] = "DVDR   ZV-314K  ";

const char kErrorTitle[] = "Error - Upgrade Program";
const char kInformationTitle[] = "Information - Upgrade Program";

struct Text {
    const char* english;
    const char* japanese;
};

const Text kBoardReadFailed = {"Drive version check failure.",
                               "ドライブのバージョンチェックに失敗しました。"};
const Text kBoardTooNew = {
    "This firmware upgrade does not apply to your drive. Please \n"
    "visit Zorvant Web Site to check availability of latest firmware \n"
    "for the drive you have.",
    "本ファームウェアはこのドライブに適合しません。\n"
    "Zorvant ウェブサイトをチェックし、このドライブの\n"
    "最新ファームウェアを入手して下さい。"};
const Text kLaterVersionQuestion = {
    "Drive has later version of firmware than this program. Please \n"
    "visit Zorvant Web Site to check availability of latest firmware \n"
    "for the drive you have.\n"
    "\n"
    "Do you continue it ?",
    "このドライブには、本ファームウェア更新プログラムより\n"
    "新しいバージョンのファームウェアがインストールされています。\n"
    "Zorvant ウェブサイトをチェックし、このドライブの\n"
    "最新ファームウェアを入手して下さい。\n"
    "\n"
    "続けますか？"};

int Show(const Text& text, const char* title, platform::MessageIcon icon,
         platform::MessageButtons buttons) {
    const char* chosen = UseJapanese() ? text.japanese : text.english;
    return platform::ShowMessage(chosen, title, icon, buttons);
}

// "x.yz" with a first character other than '0'.
bool ComparableVersion(const char* version) { return version[1] == '.' && version[0] != '0'; }

bool NeedsRevisionFixUp(const DriveEntry& entry) {
    const bool model = std::strlen(Config.InquiryPatterns) >= 24 &&
                       std::memcmp(Config.InquiryPatterns + 8, kFixUpProduct, 16) == 0;
    return model && (std::memcmp(entry.Revision, "1.00", 4) == 0 ||
                     std::memcmp(entry.Revision, "1.01", 4) == 0);
}

}  // namespace

bool CheckBeforeUpdate() {
    const DriveEntry& entry = DriveTable[SelectedDrive];

    if (Config.PcbCheck != 0) {
        uint8_t board[kBoardRecordLength] = {};
        if (ReadBoardInfo(entry, board, kBoardRecordLength, kBoardRecordAddress) != kScsiOk) {
            Show(kBoardReadFailed, kErrorTitle, platform::MessageIcon::Stop,
                 platform::MessageButtons::Ok);
            return false;
        }
        if (Config.PcbCheck < board[0]) {
            Show(kBoardTooNew, kInformationTitle, platform::MessageIcon::Information,
                 platform::MessageButtons::Ok);
            return false;
        }
    }

    if (!ComparableVersion(Config.Version) || !ComparableVersion(entry.Revision)) return true;
    const float package = ReadVersionNumber(Config.Version);
    const float drive = ReadVersionNumber(entry.Revision);
    if (package < drive &&
        Show(kLaterVersionQuestion, kInformationTitle, platform::MessageIcon::Information,
             platform::MessageButtons::YesNo) == platform::kIdNo) {
        return false;
    }

    // The command's outcome does not matter: the update goes on either way.
    if (NeedsRevisionFixUp(entry))
        WriteVendorData(entry, kFixUpBlock, sizeof kFixUpBlock, kFixUpAddress);
    return true;
}
