// Plain words about optical drives that discovery did not list: which node cannot be opened
// and what gives access, or why a drive that answers is not one for this package.
#pragma once

#include <string>
#include <vector>

#include "drive/drive_probe.h"

// One paragraph for a drive whose node cannot be opened for reading.
std::string NoAccessText(const ProbedDrive& drive, bool japanese);
// One paragraph for a listed drive whose node can be read but not written: the update
// needs write access.
std::string NoWriteAccessText(const ProbedDrive& drive, bool japanese);
// One line for a drive that answers but is not listed (NoAnswer, NotCdDvd, OtherIdentity).
std::string NotListedText(const ProbedDrive& drive, bool japanese);

// For the "No drive found." message: an empty string, or two line feeds followed by one
// paragraph per optical drive that cannot be opened. Opens the nodes only; sends nothing.
std::string NoDriveFoundDetail(bool japanese);
