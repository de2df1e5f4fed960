#include "platform/files.h"

#include <cstring>

namespace platform {

namespace {
constexpr char kEndOfFile = 0x1A;  // Ctrl-Z ends a text file read in text mode
}

bool TextLineSplitter::Feed(const char* data, size_t size) {
    if (ended_) return false;
    // Drop the lines already taken before the buffer grows, so that taking many short
    // lines out of one large piece stays linear.
    if (start_ > 0) {
        pending_.erase(0, start_);
        scan_ -= start_;
        start_ = 0;
    }
    const void* eof = size == 0 ? nullptr : std::memchr(data, kEndOfFile, size);
    if (eof != nullptr) {
        pending_.append(data, static_cast<size_t>(static_cast<const char*>(eof) - data));
        ended_ = true;
        return false;
    }
    pending_.append(data, size);
    return true;
}

bool TextLineSplitter::TakeLine(std::string& line) {
    const size_t feed = pending_.find('\n', scan_);
    if (feed == std::string::npos) {
        // Remember how far we looked so that a long line is not searched again per piece.
        scan_ = pending_.size();
        return false;
    }
    size_t end = feed;
    if (end > start_ && pending_[end - 1] == '\r') --end;
    line.assign(pending_, start_, end - start_);
    start_ = feed + 1;
    scan_ = start_;
    return true;
}

bool TextLineSplitter::TakeRest(std::string& line) {
    if (TakeLine(line)) return true;
    if (start_ >= pending_.size()) return false;
    line.assign(pending_, start_, std::string::npos);
    pending_.clear();
    start_ = 0;
    scan_ = 0;
    return true;
}

}  // namespace platform
