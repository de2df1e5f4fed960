// Whether the window system can be reached, asked before the window framework starts: Qt
// ends the process with an abort when its platform plugin cannot connect.
#pragma once

#include <functional>
#include <string>

// Reads a variable of the environment; null when it is unset.
using EnvironmentReader = std::function<const char*(const char*)>;

// True when QT_QPA_PLATFORM names a platform that needs no display server, or when the
// Wayland socket (WAYLAND_DISPLAY) or the X server (DISPLAY) accepts a connection.
bool DisplayAvailable(const EnvironmentReader& environment);

// The one line said instead, in the user's language.
std::string NoDisplayText(bool japanese);
