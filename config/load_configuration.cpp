#include "config/load_configuration.h"

#include "config/eps_image.h"
#include "config/identity.h"
#include "config/ini_reader.h"
#include "config/main_image.h"
#include "config/program_values.h"
#include "config/update_config.h"

// The steps run in this order and the first failure ends the load: the file, the main
// image, the secondary image, then the identity (only once both images are in) and the
// title. Buffers already allocated when a later step fails stay in Config; start-up ends
// the program on any failure.
uint8_t LoadConfiguration(const std::string& profileName) {
    uint8_t code = ReadConfigurationFile(profileName, Config, UseJapanese());
    if (code != kConfigOk) return code;
    code = LoadMainImage(Config);
    if (code != kConfigOk) return code;
    code = LoadEpsImage(Config);
    if (code != kConfigOk) return code;
    code = SettleIdentity(Config);
    if (code != kConfigOk) return code;
    SetTitleIfMissing(Config);
    return kConfigOk;
}
