// The stages of the real program: configuration, ASPI transport, discovery and the reboot as
// built by their subsystems. The dialogs are left to the user interface (ui/dialog_stages.h).
#pragma once

#include "app/startup_stages.h"

class ProgramStages : public StartupStages {
public:
    uint8_t LoadConfiguration(const std::string& profileName) override;
    int AspiOpen() override;
    uint32_t AspiAdapterCount() override;
    uint32_t DiscoverDrives() override;
    void AspiClose() override;
    void RestartComputer() override;
};
