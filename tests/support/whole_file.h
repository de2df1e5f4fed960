// A file's whole contents as bytes, read or written in one call.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

// Empty when the file cannot be read.
std::string ReadWhole(const std::filesystem::path& path);
// Replaces the file's contents with `bytes`.
void WriteWhole(const std::filesystem::path& path, const std::string& bytes);

}  // namespace test_support
