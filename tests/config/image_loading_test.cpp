#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "config/load_configuration.h"
#include "config/main_image.h"
#include "config_fixture.h"

namespace {

// A package whose identity comes from the configuration file, so that only the images
// decide the outcome.
std::string Ini(const std::string& upgradeLines, const std::string& optionLines = "") {
    return "[UPGRADEINFORMATION]\nINQUIRY=ZORVANT CDRW;\nVERSION=1.00\nFIRMWAREFILENAME=FW.BIN\n" +
           upgradeLines + "[OPTION]\n" + optionLines;
}

class ImageLoadingTest : public ConfigTest {
protected:
    uint8_t Load(const std::string& ini) {
        files_.Add("FWUPD.INI", ini);
        return LoadConfiguration("FWUPD.INI");
    }
};

TEST_F(ImageLoadingTest, DefaultFirmwareSizesFollowTheCautionKind) {
    EXPECT_EQ(DefaultFirmwareSize(0), 0u);
    EXPECT_EQ(DefaultFirmwareSize(1), 0x80000u);
    EXPECT_EQ(DefaultFirmwareSize(2), 0x80000u);
    EXPECT_EQ(DefaultFirmwareSize(3), 0x20000u);
    EXPECT_EQ(DefaultFirmwareSize(4), 0u);
}

TEST_F(ImageLoadingTest, AnImageOfTheDefaultSizeLoadsWhole) {
    const std::string image = PatternImage(0x80000);
    files_.Add("FW.BIN", image);
    EXPECT_EQ(Load(Ini("", "USE CDR CAUTION=YES\n")), kConfigOk);
    ASSERT_EQ(Config.FirmwareSize, 0x80000u);
    ASSERT_NE(Config.Image, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.Image), Config.FirmwareSize), image);
    EXPECT_EQ(Config.EpsImage, nullptr);
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

TEST_F(ImageLoadingTest, AnImageOneByteShortOfTheSizeGives12AndLeavesTheRestZero) {
    const std::string image = PatternImage(0x20000 - 1);
    files_.Add("FW.BIN", image);
    EXPECT_EQ(Load(Ini("", "USE CDROM CAUTION=YES\n")), kConfigImageTooShort);
    ASSERT_EQ(Config.FirmwareSize, 0x20000u);
    ASSERT_NE(Config.Image, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.Image), image.size()), image);
    EXPECT_EQ(Config.Image[0x20000 - 1], 0);
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

TEST_F(ImageLoadingTest, OnlyTheFirstFirmwareSizeBytesOfALongerFileAreTaken) {
    // 1500 is neither a multiple of the 1024-byte pieces nor of the chunk size.
    const std::string image = PatternImage(5000);
    files_.Add("FW.BIN", image);
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=1500\nBUFFERSIZE=1000\n")), kConfigOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.Image), 1500),
              image.substr(0, 1500));
    EXPECT_EQ(Config.BufferSize, 1000u);  // kept although 1500 is no multiple of it
}

TEST_F(ImageLoadingTest, ShortReadsAreCollectedUntilTheBufferIsFull) {
    const std::string image = PatternImage(0x20000);
    files_.Add("FW.BIN", image);
    files_.SetMaxReadSize(333);
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n")), kConfigOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.Image), Config.FirmwareSize), image);
}

TEST_F(ImageLoadingTest, AnImageOfSixteenMebibytesIsTheLargestAccepted) {
    files_.Add("FW.BIN", PatternImage(0x1000000));
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=16777216\n")), kConfigOk);
    EXPECT_EQ(Config.FirmwareSize, 0x1000000u);
}

// A configuration and what it must give, with the names that must not have been asked for.
struct ImageCase {
    const char* name;
    std::string ini;
    std::string image;  // FW.BIN, when not empty
    std::string eps;    // EPS.BIN, when not empty
    uint8_t code;
    std::vector<std::string> notOpened;
};

class ImageCaseTest : public ImageLoadingTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageCaseTest, GivesItsCode) {
    const ImageCase& c = GetParam();
    if (!c.image.empty()) files_.Add("FW.BIN", c.image);
    if (!c.eps.empty()) files_.Add("EPS.BIN", c.eps);
    EXPECT_EQ(Load(c.ini), c.code);
    for (const std::string& name : c.notOpened) EXPECT_FALSE(files_.WasRequested(name)) << name;
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

const std::string kImage = PatternImage(0x20000);
const std::string kEpsImage = PatternImage(0x10000);
const std::string kEps = "EPS FIRMWAREFILENAME=EPS.BIN\nEPS VERSION=E1.00\n";

// clang-format off
const ImageCase kImageCases[] = {
    {"no size and a DVD caution", Ini("", "USE DVDRW CAUTION=YES\n"), kImage, "", kConfigNoFirmwareSize, {"FW.BIN"}},
    {"no size and no caution", Ini(""), kImage, "", kConfigNoFirmwareSize, {"FW.BIN"}},
    {"hexadecimal size and no caution", Ini("FIRMWAREFILESIZE=0x20000\n"), kImage, "", kConfigNoFirmwareSize,
     {"FW.BIN"}},
    {"chunk size 0", Ini("FIRMWAREFILESIZE=131072\nBUFFERSIZE=0\n"), kImage, "", kConfigBadChunkSize, {"FW.BIN"}},
    {"chunk size without digits", Ini("FIRMWAREFILESIZE=131072\nBUFFERSIZE=big\n"), kImage, "", kConfigBadChunkSize,
     {"FW.BIN"}},
    {"image smaller than one chunk", Ini("FIRMWAREFILESIZE=4096\n"), kImage, "", kConfigBadChunkSize, {"FW.BIN"}},
    {"default image smaller than a huge chunk", Ini("BUFFERSIZE=-1\n", "USE CDR CAUTION=YES\n"), kImage, "",
     kConfigBadChunkSize, {"FW.BIN"}},
    {"chunk of 16 MiB, beyond a 24-bit length", Ini("FIRMWAREFILESIZE=16777216\nBUFFERSIZE=16777216\n"), kImage,
     "", kConfigBadChunkSize, {"FW.BIN"}},
    {"image of exactly one chunk", Ini("FIRMWAREFILESIZE=8192\n"), kImage, "", kConfigOk, {}},
    {"negative image size", Ini("FIRMWAREFILESIZE=-1\n"), kImage, "", kConfigNoMemory, {"FW.BIN"}},
    {"image one byte above 16 MiB", Ini("FIRMWAREFILESIZE=16777217\n"), kImage, "", kConfigNoMemory, {"FW.BIN"}},
    {"missing image, missing EPS image", Ini("FIRMWAREFILESIZE=131072\n" + kEps), "", "", kConfigImageNotFound, {"EPS.BIN"}},
    {"short image", Ini("FIRMWAREFILESIZE=131073\n"), kImage, "", kConfigImageTooShort, {}},
    {"EPS named without EPS version", Ini("FIRMWAREFILESIZE=131072\nEPS FIRMWAREFILENAME=EPS.BIN\n"), kImage,
     kEpsImage, kConfigIdentityIncomplete, {"EPS.BIN"}},
    {"EPS version and size without EPS name", Ini("FIRMWAREFILESIZE=131072\nEPS VERSION=E1\nEPS FIRMWAREFILESIZE=-1\n"),
     kImage, "", kConfigOk, {"EPS.BIN"}},
    {"negative EPS size", Ini("FIRMWAREFILESIZE=131072\nEPS FIRMWAREFILESIZE=-1\n" + kEps), kImage, kEpsImage,
     kConfigNoMemory, {"EPS.BIN"}},
    {"missing EPS image", Ini("FIRMWAREFILESIZE=131072\n" + kEps), kImage, "", kConfigEpsNotFound, {}},
    {"short EPS image", Ini("FIRMWAREFILESIZE=131072\n" + kEps), kImage, kEpsImage.substr(1), kConfigEpsTooShort, {}},
    {"EPS image of a given size", Ini("FIRMWAREFILESIZE=131072\nEPS FIRMWAREFILESIZE=100\n" + kEps), kImage,
     kEpsImage, kConfigOk, {}},
};
// clang-format on

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<ImageCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Codes, ImageCaseTest, ::testing::ValuesIn(kImageCases), CaseName);

TEST_F(ImageLoadingTest, AFailingReadGives11ForTheMainImageAnd21ForTheEpsImage) {
    files_.Add("FW.BIN", kImage);
    files_.FailReadsAfter("FW.BIN", 3000);
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n" + kEps)), kConfigImageReadFailed);
    EXPECT_FALSE(files_.WasRequested("EPS.BIN"));
    EXPECT_EQ(files_.OpenHandleCount(), 0);

    ReleaseMainImage();
    ResetUpdateConfig(2);
    files_.Add("FW.BIN", kImage);
    files_.Add("EPS.BIN", kEpsImage);
    files_.FailReadsAfter("EPS.BIN", 0);
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n" + kEps)), kConfigEpsReadFailed);
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

TEST_F(ImageLoadingTest, AFailingReadAfterTheWholeSizeIsNoError) {
    files_.Add("FW.BIN", kImage + "trailing");
    files_.FailReadsAfter("FW.BIN", kImage.size());
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n")), kConfigOk);
}

TEST_F(ImageLoadingTest, TheEpsImageGetsItsDefaultSizeAndFirstBytes) {
    files_.Add("FW.BIN", kImage);
    files_.Add("EPS.BIN", kEpsImage + "more");
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n" + kEps)), kConfigOk);
    ASSERT_EQ(Config.EpsSize, 0x10000u);
    ASSERT_NE(Config.EpsImage, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.EpsImage), Config.EpsSize),
              kEpsImage);
    EXPECT_EQ(Text(Config.EpsVersion), "E1.00");

    ReleaseEpsImage();
    EXPECT_EQ(Config.EpsImage, nullptr);
    ReleaseMainImage();
    EXPECT_EQ(Config.Image, nullptr);
}

TEST_F(ImageLoadingTest, AnEmptyImageFileIsTooShort) {
    files_.Add("FW.BIN", "");
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n")), kConfigImageTooShort);
}

TEST_F(ImageLoadingTest, AFolderNamedAsImageIsNotFound) {
    files_.AddFolder("FW.BIN");
    EXPECT_EQ(Load(Ini("FIRMWAREFILESIZE=131072\n")), kConfigImageNotFound);
}

}  // namespace
