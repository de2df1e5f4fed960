// Shared set-up of the configuration tests: Config as start-up leaves it, an in-memory
// file system in place of the real one, and the image buffers released after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/image_buffers.h"
#include "config/program_values.h"
#include "config/reset.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "platform/substitute/memory_files.h"

class ConfigTest : public ::testing::Test {
protected:
    ConfigTest() : scoped_(&platform::Services::Files, &files_) {
        ResetUpdateConfig(2);
        Lcid = 1033;
    }
    ~ConfigTest() override {
        ReleaseMainImage();
        ReleaseEpsImage();
        ResetUpdateConfig(2);
    }

    platform::substitute::MemoryFiles files_;

private:
    platform::ScopedService<platform::FileSystem> scoped_;
};

// An image of `size` bytes, byte i holding (i * 7 + 3) & 0xFF so that misplaced pieces show.
inline std::string PatternImage(size_t size) {
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

// Writes a 28-byte identity block (8 + 16 identification bytes, 4 version bytes) at `offset`.
inline void PutIdentityBlock(std::string& image, size_t offset, const std::string& identity24,
                             const std::string& version4) {
    const std::string block = identity24 + version4;
    image.replace(offset, block.size(), block);
}

// The bytes of a field up to its zero byte.
inline std::string Text(const char* field) { return std::string(field); }
