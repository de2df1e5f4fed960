// The outcome of the last drive command, kept in the layout of an ASPI execute request
// whichever transport carried it. Readers use SRB_Status, SRB_HaStat, SRB_TargStat and
// sense bytes 2 (sense key byte, compared whole), 12 (ASC) and 13 (ASCQ).
#pragma once

#include "aspi/aspi_interface.h"

using CommandStatusRecord = SRB_ExecSCSICmd;

// The record of the transport in use; each transport points it at its own record as the
// first step of every command. Before any command it names an all-zero record.
//
// Threads: one command is in flight at a time, so this pointer, the records it names and
// the transports' request records are shared without a lock. Commands come from the GUI
// thread (discovery, the pre-update checks) and, while an update runs, from the update
// worker alone: between starting the worker and seeing its final WorkerState or
// ChunkCounter store (release, read with acquire) the GUI thread sends no command and reads
// nothing here. Starting the thread orders the GUI thread's last command before the
// worker's first; that acquire orders the worker's last command before the GUI thread's
// next. A caller reads the sense bytes of a command before it sends the next one, which
// overwrites them. The ASPI manager may complete a request on a request thread of its own
// and writes SRB_Status last; the transport reads it with acquire ordering before anything else.
extern CommandStatusRecord* CommandStatus;

constexpr int kSenseKeyByte = 2;
constexpr int kSenseAsc = 12;
constexpr int kSenseAscq = 13;
// The sense bytes a command status keeps, whichever transport filled it.
constexpr uint8_t kStatusSenseBytes = SENSE_LEN;
