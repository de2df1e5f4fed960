// Deletion at the next boot through systemd-tmpfiles.
//
// A folder that lives in memory (tmpfs, ramfs) is gone after a reboot anyway, and nothing
// is written for a file in one. Otherwise the file gets a tmpfiles.d entry with an "r" line,
// which systemd-tmpfiles carries out when it runs with --remove --boot: in the system's
// folder, read at every boot, where this process may write there (as root); else in the
// user's folder, read when the user's service manager starts after the next boot. The entry
// names itself in a second "r" line, so that it goes in the same run.
//
// /run/tmpfiles.d is not used: /run is emptied at boot before the entries are read.
#pragma once

#include <functional>
#include <string>

#include "platform/boot_deletion.h"

namespace platform::linux_os {

class TmpfilesBootDeletion final : public BootDeletion {
public:
    struct Places {
        std::string systemFolder = "/etc/tmpfiles.d";
        // Empty: no user entries.
        std::string userFolder;
        // True when the user's service manager (systemd --user) runs, which applies the
        // user's entries when it starts.
        bool userManager = false;
        // True for a folder whose files do not outlive a reboot.
        std::function<bool(const std::string& folder)> inMemory = FolderInMemory;
    };

    explicit TmpfilesBootDeletion(Places places) : places_(std::move(places)) {}

    bool DeleteAtNextBoot(const std::string& path) override;

    static bool FolderInMemory(const std::string& folder);

private:
    Places places_;
};

// The one instance the program uses.
BootDeletion& LinuxBootDeletion();

}  // namespace platform::linux_os
