// A file system for tests: files live in memory, reads can be scripted to fail, and every
// open request is recorded.
//
// Usage:
//   platform::substitute::MemoryFiles files;
//   files.Add("zorvfirm.ini", "[UPGRADEINFORMATION]\n...");
//   files.Add("FW.BIN", std::string(0x80000, '\0'));
//   files.FailReadsAfter("FW.BIN", 4096);      // reads fail once 4096 bytes are handed out
//   platform::Services services = platform::Platform();
//   services.Files = &files;
//   platform::ScopedServices scoped(services);
//   ... run the code under test ...
//   files.OpenRequests(), files.WasRequested("FW.BIN"), files.OpenHandleCount() ...
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

namespace platform::substitute {

class MemoryFiles final : public FileSystem {
public:
    MemoryFiles();

    // A regular file with these bytes; replaces an earlier file or folder of that name.
    void Add(const std::string& name, std::string bytes);
    // A name that exists but is no regular file: opening it gives null, as for a folder.
    void AddFolder(const std::string& name);
    // Reads of this file fail once `bytes` bytes of it have been handed out.
    void FailReadsAfter(const std::string& name, size_t bytes);
    // Every read hands out at most this many bytes (0: as many as asked), to exercise
    // readers that must cope with short reads.
    void SetMaxReadSize(size_t bytes) { maxReadSize_ = bytes; }

    // Every name asked for, in order, whether the open succeeded or not.
    const std::vector<std::string>& OpenRequests() const { return requests_; }
    bool WasRequested(const std::string& name) const;
    // Files opened and not yet closed.
    int OpenHandleCount() const { return *openHandles_; }

    // Text files are read through the program's own line reader (FileSystem::OpenText).
    std::unique_ptr<InputFile> OpenInput(const std::string& name) override;

    // One file's contents and script; shared with its open handles.
    struct Entry {
        bool regular = true;
        std::string bytes;
        size_t failAfter = static_cast<size_t>(-1);  // no failure
    };

private:
    const Entry* Find(const std::string& name);

    std::map<std::string, Entry> files_;
    std::vector<std::string> requests_;
    std::shared_ptr<int> openHandles_;
    size_t maxReadSize_ = 0;
};

}  // namespace platform::substitute
