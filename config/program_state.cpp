#include "config/program_values.h"
#include "config/update_config.h"

UpdateConfig Config;
uint32_t Lcid;
uint8_t DriveCount;
uint16_t SelectedDrive;
