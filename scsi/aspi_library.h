// The loaded ASPI manager library and its two entry points, shared by the ASPI
// transport's operations. Empty until AspiOpen succeeds and after AspiClose.
#pragma once

#include <cstdint>

#include "aspi/aspi_interface.h"

struct AspiLibrary {
    void* Module = nullptr;
    GetASPI32SupportInfoFn GetSupportInfo = nullptr;
    SendASPI32CommandFn SendCommand = nullptr;
};

extern AspiLibrary TheAspiLibrary;

// The manager's file name; AspiOpen looks for it beside the running executable first,
// then through the system's normal library search.
constexpr char kAspiLibraryName[] = "libzvaspi32.so";

// How long AspiExecute waits for a pending request before it gives the request up. The
// final WRITE BUFFER, in which the drive programs its flash memory, may take 600 s; the
// manager's own time-out for it is 600 s, so the manager normally reports first.
constexpr uint32_t kAspiWaitLimitMs = 660 * 1000;
