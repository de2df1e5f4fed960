// The stages of the real program: configuration, ASPI transport and discovery as built by
// their subsystems. The dialogs and the reboot are virtual so that the user interface and
// the restart code can supply them.
#pragma once

#include "app/startup_stages.h"

class ProgramStages : public StartupStages {
public:
    uint8_t LoadConfiguration(const std::string& profileName) override;
    int AspiOpen() override;
    uint32_t AspiAdapterCount() override;
    uint32_t DiscoverDrives() override;
    void AspiClose() override;

    // Not built yet: see stages_not_built_yet.cpp.
    void RestartComputer() override;
    int RunNoticeDialog() override;
    int RunMainDialog() override;
};
