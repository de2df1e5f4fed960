// Everything read from the configuration file and derived from the firmware images.
// Filled once during start-up on the GUI thread, before any dialog or worker exists, and
// only read afterwards, by the update worker too; nothing changes it while the worker runs.
#pragma once

#include <cstdint>

struct UpdateConfig {
    char AppTitle[128];         // main dialog title
    char InquiryPatterns[256];  // drive identities, each item ended by ';'
    char Version[5];            // firmware version of the package, 4 characters
    char FirmwareFileName[35];
    uint32_t FirmwareSize;  // bytes
    uint32_t BufferSize;    // bytes per WRITE BUFFER chunk
    uint8_t* Image;         // FirmwareSize bytes
    char EpsFileName[36];   // empty: no secondary image
    uint32_t EpsSize;       // bytes
    uint8_t* EpsImage;      // EpsSize bytes
    char EpsVersion[8];
    uint8_t MelcoInquiry;
    uint8_t NoPassThrough;
    uint8_t CautionKind;  // 0 none, 1 CD-R, 2 CD-R/RW, 3 CD-ROM, 4 DVD±R/RW
    uint8_t PcbCheck;
    uint8_t NoRestartPrompt;
    uint8_t NoBinaryInfo;
    uint8_t NoDeleteFile;
    uint8_t WaitSeconds;
    uint8_t OsKind;  // 0 9x family, 1 NT 4, 2 NT 5 or later (Linux reports 2)
    uint8_t TwiceUpdate;
    uint8_t UpdateAfterCmd;
};

extern UpdateConfig Config;

constexpr uint32_t kDefaultBufferSize = 8192;
constexpr uint8_t kDefaultWaitSeconds = 15;
