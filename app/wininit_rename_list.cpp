#include "app/wininit_rename_list.h"

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>

namespace {

// So that the list's full name fits in 128 bytes with its zero byte.
constexpr size_t kMaxWindowsFolder = 115;
// The list is searched in reads of at most this many characters, the line feed included; a
// longer line is read, and tested, in pieces.
constexpr size_t kPieceLength = 254;
constexpr const char kHeader[] = "[RENAME]";
constexpr size_t kHeaderLength = sizeof kHeader - 1;

// The whole file as a text-mode read gives it: carriage return and line feed become a line
// feed.
std::string ReadAsText(std::FILE* file) {
    std::string bytes;
    if (std::fseek(file, 0, SEEK_SET) != 0) return bytes;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    return text;
}

bool HasHeader(const std::string& text) {
    size_t piece = 0;
    while (piece < text.size()) {
        if (text.compare(piece, kHeaderLength, kHeader) == 0) return true;
        const size_t feed = text.find('\n', piece);
        const size_t lineEnd = feed == std::string::npos ? text.size() : feed + 1;
        piece = std::min(lineEnd, piece + kPieceLength);
    }
    return false;
}

}  // namespace

void AddToWininitRenameList(const std::string& windowsFolder, const std::string& path) {
    if (windowsFolder.empty() || windowsFolder.size() > kMaxWindowsFolder) return;
    const std::string list = windowsFolder + "/WININIT.INI";

    std::string lines;
    std::FILE* file = nullptr;
    struct stat info {};
    if (stat(list.c_str(), &info) != 0) {
        // Never truncate a list that appeared since it was looked for.
        file = std::fopen(list.c_str(), "wbx");
        if (file == nullptr) return;
        lines = "[RENAME]\r\n";
    } else {
        file = std::fopen(list.c_str(), "ab+");
        if (file == nullptr) return;
        const std::string text = ReadAsText(file);
        // A last line without a line end would swallow the header or the entry: the system
        // would then not see either.
        if (!text.empty() && text.back() != '\n') lines = "\r\n";
        if (!HasHeader(text)) lines += "[RENAME]\r\n";
    }
    lines += "NUL=" + path + "\r\n";
    std::fwrite(lines.data(), 1, lines.size(), file);
    std::fclose(file);
}
