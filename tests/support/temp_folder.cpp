#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <fstream>

namespace test_support {

TempFolder::TempFolder(const std::string& prefix) {
    // temp_directory_path() follows TMPDIR, as the program itself does.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(const std::filesystem::path& relative,
                                        const std::string& bytes) const {
    const std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << bytes;
    return full;
}

}  // namespace test_support
