#include "app/drive_access_text.h"

#include <cstring>

namespace {

std::string Name(const ProbedDrive& drive) {
    std::string name = std::string(1, drive.Letter) + ":";
    if (!drive.Node.Path.empty()) name += " (" + drive.Node.Path + ")";
    return name;
}

// What gives this process access to the node.
std::string AccessAdvice(const ProbedDrive& drive, bool japanese) {
    const platform::NodeAccess& node = drive.Node;
    if (node.Path.empty()) return "";
    if (!node.GenericNode) {
        return japanese
                   ? " sg モジュールを読み込むと (sudo modprobe sg) ドライブに /dev/sgN ができ、"
                     "そのノードへのアクセス権で更新できます。" +
                         node.Path + " 経由のファームウェア送信には root 権限が必要です。"
                   : " Load the sg module (sudo modprobe sg) so that the drive gets a /dev/sgN "
                     "node; through " +
                         node.Path + " only root can send firmware.";
    }
    const std::string group = node.Group.empty() ? "" : "\"" + node.Group + "\"";
    if (japanese) {
        std::string text = " ";
        if (!group.empty())
            text += "グループ " + group + " への参加 (sudo usermod -aG " + node.Group +
                    " $USER の後、ログインし直す)、";
        return text + node.Path + " の ACL (sudo setfacl -m u:$USER:rw " + node.Path +
               ")、または root 権限でアクセスできます。";
    }
    std::string text = " Access comes with ";
    if (!group.empty())
        text += "membership of the group " + group + " (sudo usermod -aG " + node.Group +
                " $USER, then log in again), ";
    return text + "an ACL for the node (sudo setfacl -m u:$USER:rw " + node.Path +
           "), or running as root.";
}

std::string ErrorWords(int error) { return error != 0 ? std::strerror(error) : "not possible"; }

// The identity as printable characters.
std::string PrintableIdentity(const ProbedDrive& drive) {
    std::string text;
    for (size_t i = 0; i < sizeof drive.Identity - 1; ++i) {
        const unsigned char c = static_cast<unsigned char>(drive.Identity[i]);
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return text;
}

}  // namespace

std::string NoAccessText(const ProbedDrive& drive, bool japanese) {
    const std::string why = ErrorWords(drive.Node.ReadError);
    if (japanese)
        return "光学ドライブ " + Name(drive) + " を開けません: " + why + "。" +
               AccessAdvice(drive, true);
    return "The optical drive " + Name(drive) + " cannot be opened: " + why + "." +
           AccessAdvice(drive, false);
}

std::string NoWriteAccessText(const ProbedDrive& drive, bool japanese) {
    const std::string why = ErrorWords(drive.Node.WriteError);
    if (japanese)
        return "ドライブ " + Name(drive) + " は読めますが書き込めません (" + why +
               ")。更新には書き込み権限が必要です。" + AccessAdvice(drive, true);
    return "The drive " + Name(drive) + " can be read but not written (" + why +
           "); the update needs write access." + AccessAdvice(drive, false);
}

std::string NotListedText(const ProbedDrive& drive, bool japanese) {
    switch (drive.Finding) {
    case DriveFinding::NoAnswer:
        return japanese ? "ドライブ " + Name(drive) + " は INQUIRY に応答しません。"
                        : "The drive " + Name(drive) + " does not answer INQUIRY.";
    case DriveFinding::NotCdDvd:
        return japanese ? "ドライブ " + Name(drive) + " は CD/DVD 装置として応答しません。"
                        : "The drive " + Name(drive) + " does not answer as a CD/DVD device.";
    case DriveFinding::OtherIdentity:
        return japanese ? "ドライブ " + Name(drive) + " [" + PrintableIdentity(drive) +
                              "] はこの更新パッケージの対象ではありません。"
                        : "The drive " + Name(drive) + " [" + PrintableIdentity(drive) +
                              "] is not one this package updates.";
    case DriveFinding::NoAccess: return NoAccessText(drive, japanese);
    case DriveFinding::Matches: break;
    }
    return "";
}

std::string NoDriveFoundDetail(bool japanese) {
    std::string detail;
    for (const ProbedDrive& drive : ProbeOpticalDrives(false))
        if (drive.Finding == DriveFinding::NoAccess)
            detail += "\n\n" + NoAccessText(drive, japanese);
    return detail;
}
