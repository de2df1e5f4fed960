#include "platform/files.h"

#include <cstring>

namespace platform {

namespace {
constexpr char kEndOfFile = 0x1A;
}

bool TextLineSplitter::Feed(const char* data, size_t size) {
    if (ended_) return false;
    const void* eof = std::memchr(data, kEndOfFile, size);
    if (eof != nullptr) {
        pending_.append(data, static_cast<const char*>(eof) - data);
        ended_ = true;
        return false;
    }
    pending_.append(data, size);
    return true;
}

bool TextLineSplitter::TakeLine(std::string& line) {
    const size_t feed = pending_.find('\n', scan_);
    if (feed == std::string::npos) {
        scan_ = pending_.size();
        return false;
    }
    size_t end = feed;
    if (end > 0 && pending_[end - 1] == '\r') --end;
    line.assign(pending_, 0, end);
    pending_.erase(0, feed + 1);
    scan_ = 0;
    return true;
}

bool TextLineSplitter::TakeRest(std::string& line) {
    if (TakeLine(line)) return true;
    if (pending_.empty()) return false;
    line.swap(pending_);
    pending_.clear();
    scan_ = 0;
    return true;
}

}  // namespace platform
