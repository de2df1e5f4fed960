// The stages the start-up sequence brings up, one call each, so that the sequence's
// decisions can be exercised with substitutes in place of configuration, transport,
// discovery and dialogs.
#pragma once

#include <cstdint>
#include <string>

class StartupStages {
public:
    virtual ~StartupStages() = default;

    // Asks the system for a reboot, or shows its own message when that fails; returns
    // either way.
    virtual void RestartComputer() = 0;
    // 0 with Config complete (title, identity, images), else the configuration's error code.
    virtual uint8_t LoadConfiguration(const std::string& profileName) = 0;
    // Runs the notice dialog modally; the identifier of the closing button (1 goes on).
    virtual int RunNoticeDialog() = 0;
    // 0 when the ASPI manager library cannot be loaded.
    virtual int AspiOpen() = 0;
    // 0 when ASPI is not usable.
    virtual uint32_t AspiAdapterCount() = 0;
    // Fills the drive table; the number of matching drives, 0 to 100.
    virtual uint32_t DiscoverDrives() = 0;
    // Runs the main dialog modally; 1 only when an update succeeded and the user asked for
    // a restart.
    virtual int RunMainDialog() = 0;
    virtual void AspiClose() = 0;
};
