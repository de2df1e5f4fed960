// The one message of the restart: "Can't reboot.", in the user's language.
#pragma once

#include <string>

std::string RebootFailureText(bool japanese);

// Shows the message in an error box (stop icon, OK). The user interface decides the owner:
// none during start-up and in the restart copy, the main dialog while it runs.
void ShowRebootFailure();
