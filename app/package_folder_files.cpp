#include "app/package_folder_files.h"

PackageFolderFiles::PackageFolderFiles(platform::FileSystem& underlying, std::string folder)
    : underlying_(underlying), folder_(std::move(folder)) {
    if (folder_.empty() || folder_.back() != '/') folder_ += '/';
}

std::string PackageFolderFiles::Resolve(const std::string& name) const {
    // An empty name stays empty: it must not turn into the folder itself.
    if (name.empty() || name.front() == '/') return name;
    return folder_ + name;
}

std::unique_ptr<platform::InputFile> PackageFolderFiles::OpenInput(const std::string& name) {
    return underlying_.OpenInput(Resolve(name));
}
