#include "scsi/command_status.h"

namespace {
// What readers see before the first command: no outcome at all.
CommandStatusRecord noCommandYet;
}  // namespace

CommandStatusRecord* CommandStatus = &noCommandYet;
