// Asks the system for a reboot; shows "Can't reboot." for each step that fails.
#pragma once

void RestartComputer();
