// libFuzzer target: arbitrary bytes as the configuration file, and image files made from
// them, through LoadConfiguration, first on the in-memory file system and then on the real
// Linux file code in a temporary folder. Checks what must hold whatever the package holds:
// a known result code, every text field ended within its size, a loaded image within what
// WRITE BUFFER can address and equal to its file, every file closed again, a file past the
// size limit refused, and the same result from both file systems.
//
// The last input byte also steers the package around the configuration file, so that the
// fuzzer reaches the image and identity paths, not only the reader:
//   bits 0-1  main image: 0 exact size, 1 one byte short, 2 missing, 3 longer than needed
//   bits 2-3  secondary image: the same choices
//   bits 4-5  identity block in the main image: 0 none, 1 at 0, 2 at 0x10000, 3 both
//   bit  6    reads of the main image fail half way (in memory only; the real files are
//             then not tried, since their reads cannot be made to fail)
//   bit  7    Japanese texts (code page 932 lines)
// The configuration file is the whole input, that byte included. When the byte before it
// is 0xF0 or above, the input is repeated into a file of about the size limit instead (its
// low four bits place the end from 8 bytes below the limit to 7 above it), so that lines
// and files as long as the reader takes are tried too.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "config/eps_image.h"
#include "config/identity.h"
#include "config/image_buffers.h"
#include "config/image_file.h"
#include "config/ini_reader.h"
#include "config/load_configuration.h"
#include "config/main_image.h"
#include "config/program_values.h"
#include "config/reset.h"
#include "config/update_config.h"
#include "platform/files.h"
#include "platform/linux/linux_platform.h"
#include "platform/platform.h"
#include "platform/substitute/memory_files.h"

namespace {

constexpr char kProfileName[] = "zvfirm.INI";

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(bool holds, const char* what) {
    if (!holds) Fail(what);
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

bool KnownCode(uint8_t code) { return code <= 12 || (code >= 20 && code <= 22); }

// `size` bytes of the input repeated, so that the image holds fuzzed bytes everywhere.
std::string RepeatedBytes(const uint8_t* data, size_t length, size_t size) {
    std::string bytes(size, '\0');
    if (length == 0 || size == 0) return bytes;
    size_t filled = std::min(length, size);
    std::memcpy(bytes.data(), data, filled);
    // Doubling copies: images reach 16 MiB, and a byte loop would slow every run down.
    while (filled < size) {
        const size_t copy = std::min(filled, size - filled);
        std::memcpy(bytes.data() + filled, bytes.data(), copy);
        filled += copy;
    }
    return bytes;
}

// The file for an image the loader wants `size` bytes of, shaped by a two-bit choice;
// false when the file is to be missing.
bool MakeImageFile(unsigned choice, const uint8_t* data, size_t length, uint32_t size,
                   std::string& bytes) {
    switch (choice & 3) {
    case 0: bytes = RepeatedBytes(data, length, size); return true;
    case 1: bytes = RepeatedBytes(data, length, size == 0 ? 0 : size - 1); return true;
    case 2: return false;
    default: bytes = RepeatedBytes(data, length, size + 100); return true;
    }
}

void PutIdentityBlock(std::string& image, size_t offset, const uint8_t* data, size_t length) {
    if (image.size() < offset + kIdentityBlockSize) return;
    std::memcpy(&image[offset], "ZORVANT ", 8);
    for (size_t i = 8; i < kIdentityBlockSize && i - 8 < length; ++i)
        image[offset + i] = static_cast<char>(data[i - 8]);
}

// The image size the loader settles on, or 0 when it will not read the file anyway.
uint32_t WantedMainSize(const UpdateConfig& parsed) {
    uint32_t size = parsed.FirmwareSize;
    if (size == 0) size = DefaultFirmwareSize(parsed.CautionKind);
    return size <= kMaxImageSize ? size : 0;
}

uint32_t WantedEpsSize(const UpdateConfig& parsed) {
    const uint32_t size = parsed.EpsSize == 0 ? kEpsDefaultSize : parsed.EpsSize;
    return size <= kMaxImageSize ? size : 0;
}

void CheckConfig(uint8_t code, const platform::substitute::MemoryFiles& files,
                 const std::string& mainFile, bool mainPresent, const std::string& epsFile,
                 bool epsPresent) {
    Check(KnownCode(code), "result code outside the documented set");
    Check(Terminated(Config.AppTitle), "AppTitle not terminated");
    Check(Terminated(Config.InquiryPatterns), "InquiryPatterns not terminated");
    Check(Terminated(Config.Version), "Version not terminated");
    Check(Terminated(Config.FirmwareFileName), "FirmwareFileName not terminated");
    Check(Terminated(Config.EpsFileName), "EpsFileName not terminated");
    Check(Terminated(Config.EpsVersion), "EpsVersion not terminated");
    Check(files.OpenHandleCount() == 0, "a file was left open");
    if (code != kConfigOk) return;

    Check(Config.Image != nullptr, "success without an image");
    Check(Config.FirmwareSize > 0 && Config.FirmwareSize <= kMaxImageSize,
          "image size beyond 16 MiB");
    Check(Config.BufferSize > 0 && Config.BufferSize <= Config.FirmwareSize &&
              Config.BufferSize <= kMaxChunkSize,
          "chunk size that cannot divide the image");
    Check(mainPresent && mainFile.size() >= Config.FirmwareSize &&
              std::memcmp(Config.Image, mainFile.data(), Config.FirmwareSize) == 0,
          "image differs from its file");
    const uint8_t* block =
        Config.NoBinaryInfo != 1 ? FindIdentityBlock(Config.Image, Config.FirmwareSize) : nullptr;
    if (block != nullptr) {
        // The block's bytes are taken as they are, zero bytes included (such a list
        // matches no drive, which discovery reports).
        Check(std::memcmp(Config.InquiryPatterns, block, 24) == 0 &&
                  Config.InquiryPatterns[24] == ';' && Config.InquiryPatterns[25] == '\0',
              "identity list differs from the identity block");
        Check(std::memcmp(Config.Version, block + 24, 4) == 0 && Config.Version[4] == '\0',
              "version differs from the identity block");
    } else {
        Check(Config.InquiryPatterns[0] != '\0' && Config.InquiryPatterns[0] != ';' &&
                  std::strchr(Config.InquiryPatterns, ';') != nullptr,
              "success without a usable identity list");
        Check(Config.Version[0] != '\0', "success without a version");
    }
    Check(Config.AppTitle[0] != '\0', "success without a title");
    if (Config.EpsFileName[0] != '\0') {
        Check(Config.EpsImage != nullptr, "success without the secondary image");
        Check(Config.EpsSize > 0 && Config.EpsSize <= kMaxImageSize,
              "secondary image size beyond 16 MiB");
        Check(epsPresent && epsFile.size() >= Config.EpsSize &&
                  std::memcmp(Config.EpsImage, epsFile.data(), Config.EpsSize) == 0,
              "secondary image differs from its file");
    } else {
        Check(Config.EpsImage == nullptr, "secondary image loaded without its name");
    }
}

// What one load gave, kept to compare the two file systems.
struct LoadResult {
    uint8_t code = 0;
    UpdateConfig config{};
    std::string image;
    std::string epsImage;
};

LoadResult TakeResult(uint8_t code) {
    LoadResult result;
    result.code = code;
    result.config = Config;
    if (Config.Image != nullptr)
        result.image.assign(reinterpret_cast<const char*>(Config.Image), Config.FirmwareSize);
    if (Config.EpsImage != nullptr)
        result.epsImage.assign(reinterpret_cast<const char*>(Config.EpsImage), Config.EpsSize);
    result.config.Image = nullptr;
    result.config.EpsImage = nullptr;
    ReleaseMainImage();
    ReleaseEpsImage();
    ResetUpdateConfig(2);
    return result;
}

template <size_t N>
bool SameField(const char (&a)[N], const char (&b)[N]) {
    return std::memcmp(a, b, N) == 0;
}

bool SameResult(const LoadResult& a, const LoadResult& b) {
    const UpdateConfig& x = a.config;
    const UpdateConfig& y = b.config;
    return a.code == b.code && SameField(x.AppTitle, y.AppTitle) &&
           SameField(x.InquiryPatterns, y.InquiryPatterns) && SameField(x.Version, y.Version) &&
           SameField(x.FirmwareFileName, y.FirmwareFileName) &&
           SameField(x.EpsFileName, y.EpsFileName) && SameField(x.EpsVersion, y.EpsVersion) &&
           x.FirmwareSize == y.FirmwareSize && x.BufferSize == y.BufferSize &&
           x.EpsSize == y.EpsSize && x.MelcoInquiry == y.MelcoInquiry &&
           x.NoPassThrough == y.NoPassThrough && x.CautionKind == y.CautionKind &&
           x.PcbCheck == y.PcbCheck && x.NoRestartPrompt == y.NoRestartPrompt &&
           x.NoBinaryInfo == y.NoBinaryInfo && x.NoDeleteFile == y.NoDeleteFile &&
           x.WaitSeconds == y.WaitSeconds && x.TwiceUpdate == y.TwiceUpdate &&
           x.UpdateAfterCmd == y.UpdateAfterCmd && a.image == b.image && a.epsImage == b.epsImage;
}

// A name the real files can take inside the temporary folder: no folder part.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

void WriteFile(const std::string& name, const std::string& bytes) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    Check(fd >= 0, "cannot write a package file");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        Check(wrote > 0, "cannot write a package file");
        done += static_cast<size_t>(wrote);
    }
    close(fd);
}

// The package as files in a folder of their own, loaded through the Linux file code.
// Only the files the in-memory run had are written: the configuration file, and each image
// that was made for it (an image named like a configuration file is not).
uint8_t LoadFromRealFiles(const std::string& ini, const std::string& mainName,
                          const std::string& mainFile, bool mainWritten, const std::string& epsName,
                          const std::string& epsFile, bool epsWritten) {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zvfirm-fuzz-XXXXXX";
        Check(mkdtemp(pattern.data()) != nullptr, "cannot make the package folder");
        return pattern;
    }();
    const int previous = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    Check(previous >= 0 && chdir(folder.c_str()) == 0, "cannot enter the package folder");

    WriteFile(kProfileName, ini);
    if (mainWritten) WriteFile(mainName, mainFile);
    if (epsWritten) WriteFile(epsName, epsFile);

    platform::Services services = platform::Platform();
    services.Files = &platform::linux_os::LinuxFiles();
    uint8_t code;
    {
        const platform::ScopedServices scoped(services);
        ResetUpdateConfig(2);
        code = LoadConfiguration(kProfileName);
    }
    unlink(kProfileName);
    if (!mainName.empty()) unlink(mainName.c_str());
    if (!epsName.empty()) unlink(epsName.c_str());
    Check(fchdir(previous) == 0, "cannot leave the package folder");
    close(previous);
    return code;
}

// True when reading must run past the size limit: no end-of-file byte comes first.
bool PastTheLimit(const std::string& ini) {
    if (ini.size() <= platform::kTextFileLimit) return false;
    return std::memchr(ini.data(), 0x1A, platform::kTextFileLimit + 1) == nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const unsigned steer = size > 0 ? data[size - 1] : 0;
    const unsigned stretch = size > 1 ? data[size - 2] : 0;
    const std::string ini =
        stretch >= 0xF0 ? RepeatedBytes(data, size, platform::kTextFileLimit - 8 + (stretch & 0x0F))
                        : std::string(reinterpret_cast<const char*>(data), size);
    Lcid = (steer & 0x80) != 0 ? kLcidJapanese : 1033;

    platform::substitute::MemoryFiles files;
    platform::Services services = platform::Platform();
    services.Files = &files;
    const platform::ScopedServices scoped(services);
    files.Add(kProfileName, ini);

    // A first reading tells which image files the package names and how large they must
    // be, so that they can be put beside the configuration file.
    ResetUpdateConfig(2);
    UpdateConfig parsed = Config;
    ReadConfigurationFile(kProfileName, parsed, UseJapanese());

    std::string mainFile;
    std::string epsFile;
    bool mainPresent = false;
    bool epsPresent = false;
    // An image named like the configuration file is that file: it is not replaced.
    const std::string mainName(parsed.FirmwareFileName);
    const std::string epsName(parsed.EpsFileName);
    if (mainName.empty()) {
        mainPresent = false;  // no file has an empty name
    } else if (mainName != kProfileName && mainName != kFallbackConfigName) {
        mainPresent = MakeImageFile(steer, data, size, WantedMainSize(parsed), mainFile);
        if (mainPresent) {
            if ((steer & 0x10) != 0) PutIdentityBlock(mainFile, 0, data, size);
            if ((steer & 0x20) != 0) PutIdentityBlock(mainFile, kIdentityBlockOffset, data, size);
            files.Add(mainName, mainFile);
            if ((steer & 0x40) != 0) files.FailReadsAfter(mainName, mainFile.size() / 2);
        }
    } else {
        mainFile = ini;
        mainPresent = true;
    }
    if (!epsName.empty() && epsName != kProfileName && epsName != kFallbackConfigName) {
        if (epsName == mainName) {
            // One file serves as both images.
            epsFile = mainFile;
            epsPresent = mainPresent;
        } else {
            epsPresent = MakeImageFile(steer >> 2, data, size, WantedEpsSize(parsed), epsFile);
            if (epsPresent) files.Add(epsName, epsFile);
        }
    } else if (!epsName.empty()) {
        epsFile = ini;
        epsPresent = true;
    }

    ResetUpdateConfig(2);
    const uint8_t code = LoadConfiguration(kProfileName);
    // For looking at one input by hand: what the load made of it.
    if (std::getenv("ZVFIRM_FUZZ_VERBOSE") != nullptr)
        std::fprintf(stderr, "code %u, image %u bytes, secondary %u bytes, title \"%s\"\n", code,
                     Config.FirmwareSize, Config.EpsSize, Config.AppTitle);
    CheckConfig(code, files, mainFile, mainPresent, epsFile, epsPresent);
    // A file that goes on past the limit is refused, unless a value error came first.
    if (PastTheLimit(ini))
        Check(code == kConfigNoMemory || code == kConfigValueTooLong, "an oversized file was read");

    // Start-up ends the program on a failure with the buffers still held; here the next
    // input needs a clean configuration.
    const LoadResult inMemory = TakeResult(code);

    // The same package on the real file code gives the same result.
    const bool realFilesComparable = (steer & 0x40) == 0 &&
                                     (mainName.empty() || PlainName(mainName)) &&
                                     (epsName.empty() || PlainName(epsName));
    if (realFilesComparable) {
        const auto madeFor = [](const std::string& name) {
            return name != kProfileName && name != kFallbackConfigName;
        };
        const bool mainWritten = mainPresent && madeFor(mainName);
        const bool epsWritten = epsPresent && madeFor(epsName) && epsName != mainName;
        const uint8_t realCode =
            LoadFromRealFiles(ini, mainName, mainFile, mainWritten, epsName, epsFile, epsWritten);
        Check(SameResult(TakeResult(realCode), inMemory),
              "the real files and the in-memory files disagree");
    }
    return 0;
}
