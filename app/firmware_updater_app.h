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

    // The process's exit status once InitInstance has returned: 1 when the run ended on an
    // error message, so that scripts and the desktop can tell a failed start; 0 otherwise.
    int ExitStatus() const { return endedOnError_ ? 1 : 0; }

private:
    void RunRestartOnly();
    void RunNormally(const std::string& exeName);
    void ShowStartupError(const std::string& text);

    StartupStages& stages_;
    bool endedOnError_ = false;
};
