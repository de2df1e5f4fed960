// The outcome of the last drive command, kept in the layout of an ASPI execute request
// whichever transport carried it. Readers use SRB_Status, SRB_HaStat, SRB_TargStat and
// sense bytes 2 (sense key byte, compared whole), 12 (ASC) and 13 (ASCQ).
#pragma once

#include "aspi/aspi_interface.h"

using CommandStatusRecord = SRB_ExecSCSICmd;

// The record of the transport in use; each transport points it at its own record as the
// first step of every command. Before any command it names an all-zero record.
extern CommandStatusRecord* CommandStatus;

constexpr int kSenseKeyByte = 2;
constexpr int kSenseAsc = 12;
constexpr int kSenseAscq = 13;
// The sense bytes a command status keeps, whichever transport filled it.
constexpr uint8_t kStatusSenseBytes = SENSE_LEN;
