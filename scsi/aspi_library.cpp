#include "scsi/aspi_library.h"

AspiLibrary TheAspiLibrary;
uint32_t AspiWaitLimitMs = kAspiWaitLimitMs;
