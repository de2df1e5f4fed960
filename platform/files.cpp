#include "platform/files.h"

#include <cstring>

namespace platform {

namespace {
constexpr char kEndOfFile = 0x1A;  // Ctrl-Z ends a text file read in text mode
}

bool TextLineSplitter::Feed(const char* data, size_t size) {
    if (ended_) return false;
    const char* const end = data + size;
    const void* eof = size == 0 ? nullptr : std::memchr(data, kEndOfFile, size);
    const char* const stop = eof != nullptr ? static_cast<const char*>(eof) : end;
    const char* at = data;
    while (at < stop) {
        const void* feed = std::memchr(at, '\n', static_cast<size_t>(stop - at));
        if (feed == nullptr) {
            partial_.append(at, static_cast<size_t>(stop - at));
            break;
        }
        const char* const lineEnd = static_cast<const char*>(feed);
        partial_.append(at, static_cast<size_t>(lineEnd - at));
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        lines_.push_back(std::move(partial_));
        partial_.clear();
        at = lineEnd + 1;
    }
    if (eof != nullptr) ended_ = true;
    return !ended_;
}

bool TextLineSplitter::TakeLine(std::string& line) {
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
}

bool TextLineSplitter::TakeRest(std::string& line) {
    if (TakeLine(line)) return true;
    if (partial_.empty()) return false;
    line = std::move(partial_);
    partial_.clear();
    return true;
}

bool TextFile::ReadLine(std::string& line) {
    for (;;) {
        // Lines that ended within the limit are handed out whatever the read sizes were;
        // the line the limit cut through is not.
        if (splitter_.TakeLine(line)) return true;
        if (tooLarge_ || failed_) return false;
        if (atEnd_) return splitter_.TakeRest(line);
        char piece[4096];
        const int64_t got = input_->Read(reinterpret_cast<uint8_t*>(piece), sizeof piece);
        if (got < 0) {
            failed_ = true;
            return false;
        }
        if (got == 0) {
            atEnd_ = true;
            continue;
        }
        // Only what fits under the limit is fed; a byte beyond it is too much unless it
        // is the end-of-file byte itself.
        const size_t room = kTextFileLimit - consumed_;
        const size_t size = static_cast<size_t>(got);
        const size_t fed = size < room ? size : room;
        consumed_ += fed;
        if (!splitter_.Feed(piece, fed)) {
            atEnd_ = true;
        } else if (size > room) {
            if (piece[room] == kEndOfFile)
                atEnd_ = true;
            else
                tooLarge_ = true;
        }
    }
}

std::unique_ptr<TextFile> FileSystem::OpenText(const std::string& name) {
    std::unique_ptr<InputFile> input = OpenInput(name);
    if (input == nullptr) return nullptr;
    return std::make_unique<TextFile>(std::move(input));
}

}  // namespace platform
