#include "config/update_config.h"

UpdateConfig Config;
