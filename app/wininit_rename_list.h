// The boot-time deletion list of the Windows 9x family: the "[RENAME]" section of
// WININIT.INI in the Windows folder, whose "NUL=" lines name files that the system deletes
// when it next starts.
#pragma once

#include <string>

// Appends the line "NUL=<path>" to WININIT.INI in `windowsFolder`, after a "[RENAME]" header
// when the file has none (upper case, at the start of a line or of a 254-character piece of
// a longer one). Creates the file when it is missing. Does nothing when the folder is empty
// or longer than 115 characters, or when the file cannot be created or opened. Line ends are
// written as carriage return and line feed.
void AddToWininitRenameList(const std::string& windowsFolder, const std::string& path);
