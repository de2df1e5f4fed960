// The welcome and disclaimer notice in plain text, for the terminal: the product and version
// lines, the ASPI line and the notice itself, from the package's identity.
#pragma once

#include <string>

#include "config/update_config.h"

struct NoticeParts {
    std::string Title;        // "<model> Firmware <version> - Welcome"
    std::string ProductLine;  // "<product>  Firmware"
    std::string VersionLine;  // "Version <version>"
    std::string AspiLine;     // empty unless the ASPI manager will be used
    std::string Notice;       // the notice, lines ended by CR LF
};

// UTF-8 texts; the drive class word of a DVD package carries "±".
NoticeParts MakeNoticeParts(const UpdateConfig& config, bool japanese);
