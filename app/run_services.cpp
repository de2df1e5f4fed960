#include "app/run_services.h"

#include <cstdlib>

#include "app/logged_message_boxes.h"
#include "platform/linux/linux_platform.h"
#include "sim/attached.h"
#include "sim/simulated_drive_bus.h"

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

RunSettings RunSettingsFromEnvironment() {
    RunSettings settings;
    settings.simulatedDrives = Variable("ZVFIRM_SIMULATE");
    settings.messageLog = Variable("ZVFIRM_MESSAGE_LOG");
    return settings;
}

RunServices::RunServices(const RunSettings& settings, platform::MessageBoxes& shownBoxes,
                         std::ostream& errors)
    : scoped_(Choose(settings, shownBoxes, errors)) {}

RunServices::~RunServices() = default;

// Runs before scoped_ is built (members are built in the order they are declared), so
// the implementations it makes are owned by the time the record names them.
platform::Services RunServices::Choose(const RunSettings& settings,
                                       platform::MessageBoxes& shownBoxes, std::ostream& errors) {
    platform::Services services = platform::linux_os::LinuxServices();

    if (!settings.simulatedDrives.empty()) {
        simulatedDrives_ = std::make_unique<sim::SimulatedDriveBus>(
            sim::LoadAttachedDrives(settings.simulatedDrives.c_str(), errors));
        services.Drives = simulatedDrives_.get();
    }

    if (!settings.messageLog.empty()) {
        loggedBoxes_ = std::make_unique<LoggedMessageBoxes>(settings.messageLog);
        services.Messages = loggedBoxes_.get();
    } else {
        services.Messages = &shownBoxes;
    }
    return services;
}
