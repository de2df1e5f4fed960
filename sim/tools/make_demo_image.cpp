// Writes a deterministic firmware image with an identity block, for the demo package and
// for tests that need an image file:
//
//   zvfirm-make-image <output> [--size N] [--product TEXT] [--version TEXT]
//                              [--block-offset N]
//
// Defaults: 262144 bytes, product "DVDR   ZV-314K  ", version "1.02", the identity block
// ("ZORVANT " + 16-byte product + 4-byte version) at 0x10000 (at 0 when the image is too
// small for 0x10000). Every other byte comes from a fixed pseudo-random sequence.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: zvfirm-make-image <output> [--size N] [--product TEXT] "
                 "[--version TEXT] [--block-offset N]\n");
    return 2;
}

bool ParseSize(const char* text, uint32_t limit, uint32_t& value) {
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0' || number > limit) {
        return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const char* output = argv[1];
    uint32_t size = 262144;
    std::string product = "DVDR   ZV-314K  ";
    std::string version = "1.02";
    uint32_t blockOffset = UINT32_MAX;  // chosen from the size below
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--size") {
            if (!ParseSize(value, 0x1000000, size)) return Usage();
        } else if (option == "--product") {
            product = value;
        } else if (option == "--version") {
            version = value;
        } else if (option == "--block-offset") {
            if (!ParseSize(value, 0x1000000, blockOffset)) return Usage();
        } else {
            return Usage();
        }
    }
    if (product.size() > 16 || version.size() > 4) {
        std::fprintf(stderr, "zvfirm-make-image: product has at most 16, version 4 characters\n");
        return 2;
    }
    product.resize(16, ' ');
    version.resize(4, ' ');
    if (blockOffset == UINT32_MAX) {
        blockOffset = size >= 0x10000 + 28 ? 0x10000 : 0;
    }
    if (uint64_t{blockOffset} + 28 > size) {
        std::fprintf(stderr, "zvfirm-make-image: the identity block does not fit the image\n");
        return 2;
    }

    std::vector<uint8_t> image(size);
    uint32_t seed = 0x5A17F00Du;
    for (uint8_t& byte : image) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    const std::string block = "ZORVANT " + product + version;
    std::memcpy(image.data() + blockOffset, block.data(), block.size());

    std::FILE* file = std::fopen(output, "wb");
    if (file == nullptr) {
        std::perror(output);
        return 1;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(output);
        return 1;
    }
    return 0;
}
