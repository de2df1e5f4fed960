#include "config/image_file.h"

#include <algorithm>

#include "platform/platform.h"

uint8_t ReadImageFile(const std::string& name, uint8_t* buffer, uint32_t size,
                      const ImageFileCodes& codes) {
    // Closed when it goes out of scope, on every return.
    const std::unique_ptr<platform::InputFile> file = platform::Platform().Files->OpenInput(name);
    if (file == nullptr) return codes.notFound;

    uint32_t loaded = 0;
    while (loaded < size) {
        const uint32_t piece = std::min(kImageReadPiece, size - loaded);
        const int64_t got = file->Read(buffer + loaded, piece);
        if (got < 0) return codes.readFailed;
        if (got == 0) break;
        // A reader never hands out more than asked; counting more would run past the end.
        loaded += static_cast<uint32_t>(std::min<int64_t>(got, piece));
    }
    return loaded < size ? codes.tooShort : 0;
}
