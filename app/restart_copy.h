// The reboot after a successful update through a temporary copy of the program that waits,
// asks for the reboot, and is deleted at the next boot.
#pragma once

// Copies the running executable into the temporary folder as "REB_xxxx.EXE", marks the copy
// for deletion at the next boot and starts it. Does nothing when the configuration asks the
// program to reboot by itself. Shows a message when no copy can be made.
void LaunchRestartCopy();
