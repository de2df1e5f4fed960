// The ASPI transport: loading the ASPI manager library and the requests sent through it.
// AspiExecute, this transport's form of ExecScsiCommand, is declared in aspi_execute.h.
#pragma once

#include <cstdint>

#include "aspi/aspi_interface.h"
#include "scsi/drive_entry.h"

// 1 when the ASPI manager library was loaded, 0 when it cannot be (also when it lacks one
// of its entry points).
int AspiOpen();
void AspiClose();
// 0 when ASPI is not usable; otherwise the number of host adapters plus one.
uint32_t AspiAdapterCount();
// Asks host adapter `adapter`; *answer names the answer record in either case.
// 0 when the request ended with SS_COMP, else 1.
int AspiHostAdapterInquiry(uint8_t adapter, SRB_HAInquiry** answer);
// The peripheral device type of the entry's target, stored whatever the status.
// 0 when the request ended with SS_COMP, else 1.
int AspiGetDeviceType(const DriveEntry& entry, uint8_t* deviceType);
