#include "config/reset.h"

#include <cstring>

#include "config/update_config.h"

void ResetUpdateConfig(uint8_t osKind) {
    std::memset(&Config, 0, sizeof Config);
    Config.BufferSize = kDefaultBufferSize;
    Config.WaitSeconds = kDefaultWaitSeconds;
    Config.OsKind = osKind;
}
