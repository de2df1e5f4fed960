#include "platform/substitute/memory_files.h"

#include <algorithm>
#include <cstring>

namespace platform::substitute {

namespace {

// Hands out the bytes of one entry as a series of reads, as an open descriptor would.
class MemoryReader {
public:
    MemoryReader(MemoryFiles::Entry entry, size_t maxReadSize, std::shared_ptr<int> openHandles)
        : entry_(std::move(entry)),
          maxReadSize_(maxReadSize),
          openHandles_(std::move(openHandles)) {
        ++*openHandles_;
    }
    ~MemoryReader() { --*openHandles_; }
    MemoryReader(const MemoryReader&) = delete;
    MemoryReader& operator=(const MemoryReader&) = delete;

    // Bytes copied, 0 at the end, -1 when the script makes this read fail.
    int64_t Read(char* buffer, size_t count) {
        if (position_ >= entry_.failAfter) return -1;
        size_t take = std::min(count, entry_.bytes.size() - position_);
        if (maxReadSize_ != 0) take = std::min(take, maxReadSize_);
        // A read that crosses the failure point hands out the bytes before it; the next
        // read fails.
        take = std::min(take, entry_.failAfter - position_);
        if (take > 0) std::memcpy(buffer, entry_.bytes.data() + position_, take);
        position_ += take;
        return static_cast<int64_t>(take);
    }

private:
    MemoryFiles::Entry entry_;
    size_t maxReadSize_;
    std::shared_ptr<int> openHandles_;
    size_t position_ = 0;
};

class MemoryInputFile final : public InputFile {
public:
    explicit MemoryInputFile(std::unique_ptr<MemoryReader> reader) : reader_(std::move(reader)) {}

    int64_t Read(uint8_t* buffer, uint32_t count) override {
        return reader_->Read(reinterpret_cast<char*>(buffer), count);
    }

private:
    std::unique_ptr<MemoryReader> reader_;
};

}  // namespace

MemoryFiles::MemoryFiles() : openHandles_(std::make_shared<int>(0)) {}

void MemoryFiles::Add(const std::string& name, std::string bytes) {
    Entry entry;
    entry.bytes = std::move(bytes);
    files_[name] = std::move(entry);
}

void MemoryFiles::AddFolder(const std::string& name) {
    Entry entry;
    entry.regular = false;
    files_[name] = std::move(entry);
}

void MemoryFiles::FailReadsAfter(const std::string& name, size_t bytes) {
    files_[name].failAfter = bytes;
}

bool MemoryFiles::WasRequested(const std::string& name) const {
    return std::find(requests_.begin(), requests_.end(), name) != requests_.end();
}

const MemoryFiles::Entry* MemoryFiles::Find(const std::string& name) {
    requests_.push_back(name);
    const auto found = files_.find(name);
    if (found == files_.end() || !found->second.regular) return nullptr;
    return &found->second;
}

std::unique_ptr<InputFile> MemoryFiles::OpenInput(const std::string& name) {
    const Entry* entry = Find(name);
    if (entry == nullptr) return nullptr;
    return std::make_unique<MemoryInputFile>(
        std::make_unique<MemoryReader>(*entry, maxReadSize_, openHandles_));
}

}  // namespace platform::substitute
