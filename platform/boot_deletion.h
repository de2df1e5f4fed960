// Files the system deletes when it next starts: the temporary restart copy, which cannot
// delete itself while it runs.
#pragma once

#include <string>

namespace platform {

class BootDeletion {
public:
    virtual ~BootDeletion() = default;
    // Arranges for the file at the absolute `path` to be deleted at the next boot. False
    // when nothing on this system will delete it then.
    virtual bool DeleteAtNextBoot(const std::string& path) = 0;
};

}  // namespace platform
