// The application object: its start-up routine runs the whole life of the program, from
// the reset of the program-wide state to the final reboot.
#pragma once

#include "app/startup_stages.h"

class CFirmwareUpdaterApp {
public:
    explicit CFirmwareUpdaterApp(StartupStages& stages) : stages_(stages) {}

    // Runs the program. Returns false in every case: the dialogs run their own loops
    // inside, and the program ends when this returns.
    bool InitInstance();

private:
    void RunRestartOnly();
    void RunNormally(const std::string& exeName);

    StartupStages& stages_;
};
