// The file system as the package sees it when a package folder is given on the command
// line: names without a leading '/' (the configuration file, the images) resolve against
// that folder instead of the current directory.
#pragma once

#include <string>

#include "platform/files.h"

class PackageFolderFiles final : public platform::FileSystem {
public:
    // `underlying` opens the files; `folder` is the package folder as given.
    PackageFolderFiles(platform::FileSystem& underlying, std::string folder);

    std::unique_ptr<platform::InputFile> OpenInput(const std::string& name) override;

    // The name as it is opened.
    std::string Resolve(const std::string& name) const;

private:
    platform::FileSystem& underlying_;
    std::string folder_;  // ends in '/'
};
