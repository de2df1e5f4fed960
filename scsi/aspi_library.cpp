#include "scsi/aspi_library.h"

AspiLibrary TheAspiLibrary;
