#include "config/program_values.h"

uint32_t Lcid;
