// Reading one firmware image file into its buffer.
#pragma once

#include <cstdint>
#include <string>

// WRITE BUFFER carries offsets and lengths in 24 bits, so no image can be larger.
constexpr uint32_t kMaxImageSize = 0x1000000;
// Piece size for reading image files.
constexpr uint32_t kImageReadPiece = 1024;

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
