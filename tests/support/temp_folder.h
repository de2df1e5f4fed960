// A temporary folder for one test, under $TMPDIR (else /tmp), removed with everything in it
// when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

class TempFolder {
public:
    // `prefix` starts the folder's name, so that a folder left behind tells whose it was.
    explicit TempFolder(const std::string& prefix = "zvfirm-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when no folder could be made; tests check this before they use it.
    const std::filesystem::path& Path() const { return path_; }

    // Writes `bytes` to `relative`, making the folders on the way; returns the full path.
    std::filesystem::path Write(const std::filesystem::path& relative,
                                const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

}  // namespace test_support
