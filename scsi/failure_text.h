// One line of text that tells the user why a drive operation failed.
#pragma once

#include <string>

#include "scsi/scsi_result.h"

// The text of the last update failure; written by the worker before it reports failure.
extern std::string LastErrorText;

// Empties `text`, then writes the text for `result` and the outcome in *CommandStatus,
// if there is one.
void DescribeFailure(ScsiResult result, std::string& text);
