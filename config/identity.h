// Which drives the package is for, and the window title made from that.
#pragma once

#include <cstdint>
#include <string>

#include "config/update_config.h"

constexpr uint32_t kIdentityBlockSize = 28;
constexpr uint32_t kIdentityBlockOffset = 0x10000;  // looked for here first, then at 0

// The identity block in the loaded image (at 0x10000, else at 0), or null when the image
// has none. A block is a place whose first 8 bytes are "ZORVANT " and that lies wholly
// inside the image.
const uint8_t* FindIdentityBlock(const uint8_t* image, uint32_t size);

// Sets InquiryPatterns and Version from the identity block unless NoBinaryInfo forbids
// looking for it or there is none; otherwise checks the values of the configuration file.
// Returns 0, 7 (identity list or version missing, or the list begins with ";") or
// 8 (the list holds no ";").
uint8_t SettleIdentity(UpdateConfig& config);

// "%.24s Upgrade => %.4s" of the identity list and the version, every run of blanks
// reduced to one blank.
std::string MakeTitle(const char* inquiryPatterns, const char* version);

// Every run of two or more blanks (0x20) reduced to one; other white space stays.
std::string ReduceBlankRuns(const std::string& text);

// Stores MakeTitle's title in AppTitle when the configuration file gave none.
void SetTitleIfMissing(UpdateConfig& config);
