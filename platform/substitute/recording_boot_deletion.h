// Deletion at the next boot for tests: records the paths and answers as scripted.
#pragma once

#include <string>
#include <vector>

#include "platform/boot_deletion.h"

namespace platform::substitute {

class RecordingBootDeletion final : public BootDeletion {
public:
    bool Answer = true;
    std::vector<std::string> Paths;

    bool DeleteAtNextBoot(const std::string& path) override {
        Paths.push_back(path);
        return Answer;
    }
};

}  // namespace platform::substitute
