// The services of one run, chosen once where the program starts: the drive bus (the
// system's drives, or simulated ones), the message boxes (shown, or logged to a file) and
// the operating-system services of the platform layer. Nothing below the program's entry
// reads the environment to pick an implementation; the ASPI manager library, which is
// loaded on its own, makes its own choice of bus.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "platform/platform.h"

class LoggedMessageBoxes;
namespace sim {
class SimulatedDriveBus;
}

// What the environment asks of a run. Empty strings ask for nothing.
struct RunSettings {
    // ZVFIRM_SIMULATE: a description file of simulated drives, which then take the place
    // of the system's drives entirely (a file that cannot be read attaches no drive).
    std::string simulatedDrives;
    // ZVFIRM_MESSAGE_LOG: message boxes are appended to this file and answered with their
    // default button instead of being shown.
    std::string messageLog;
};

// Reads the ZVFIRM_ variables above.
RunSettings RunSettingsFromEnvironment();

// Puts the chosen services into the platform record for its lifetime and the previous
// record back after; owns the implementations it chose.
class RunServices {
public:
    // `shownBoxes` are the user interface's boxes, used unless a message log is asked for.
    // A description of simulated drives that cannot be read is reported on `errors`.
    RunServices(const RunSettings& settings, platform::MessageBoxes& shownBoxes,
                std::ostream& errors);
    ~RunServices();
    RunServices(const RunServices&) = delete;
    RunServices& operator=(const RunServices&) = delete;

private:
    platform::Services Choose(const RunSettings& settings, platform::MessageBoxes& shownBoxes,
                              std::ostream& errors);

    std::unique_ptr<sim::SimulatedDriveBus> simulatedDrives_;
    std::unique_ptr<LoggedMessageBoxes> loggedBoxes_;
    platform::ScopedServices scoped_;
};
