// Loads the main and the secondary firmware image into their buffers.
#pragma once

#include <cstdint>
#include <string>

#include "config/update_config.h"

// WRITE BUFFER carries offsets and lengths in 24 bits, so no image can be larger.
constexpr uint32_t kMaxImageSize = 0x1000000;
// The largest chunk one WRITE BUFFER block can carry (24-bit length).
constexpr uint32_t kMaxChunkSize = 0xFFFFFF;
constexpr uint32_t kEpsDefaultSize = 0x10000;
// Piece size for reading image files.
constexpr uint32_t kImageReadPiece = 1024;

// The image size used when the configuration gives none: 0x80000 for CD-R and CD-R/RW,
// 0x20000 for CD-ROM, 0 (no default) otherwise.
uint32_t DefaultFirmwareSize(uint8_t cautionKind);

// The codes one image file reports.
struct ImageFileCodes {
    uint8_t notFound;
    uint8_t readFailed;
    uint8_t tooShort;
};

// Opens `name` and reads its first `size` bytes into `buffer` in 1024-byte pieces. Bytes
// beyond `size` are never read. 0, or one of `codes`; the file is closed on every return.
uint8_t ReadImageFile(const std::string& name, uint8_t* buffer, uint32_t size,
                      const ImageFileCodes& codes);

// Settles FirmwareSize (default, 4; chunk check, 6; ceiling, 5), allocates Image (5) and
// reads the file named by FirmwareFileName into it (10, 11, 12).
uint8_t LoadMainImage(UpdateConfig& config);

// When EpsFileName is not empty: EpsVersion must be given (7); settles EpsSize (default,
// ceiling 5), allocates EpsImage (5) and reads the file into it (20, 21, 22).
uint8_t LoadEpsImage(UpdateConfig& config);
