#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "config/identity.h"
#include "config/load_configuration.h"
#include "config_fixture.h"

namespace {

const std::string kBlockIdentity = "ZORVANT CDRW   ZR-4810  ";  // 8 + 16 bytes

TEST(FindIdentityBlockTest, PrefersTheBlockAt0x10000AndNeedsItWhole) {
    std::string image = PatternImage(0x10000 + 28);
    PutIdentityBlock(image, 0, "ZORVANT AT-ZERO         ", "0000");
    PutIdentityBlock(image, 0x10000, "ZORVANT AT-64K          ", "6464");
    const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
    EXPECT_EQ(FindIdentityBlock(bytes, 0x10000 + 28), bytes + 0x10000);
    // One byte too short for the whole block at 0x10000: the block at 0 is used.
    EXPECT_EQ(FindIdentityBlock(bytes, 0x10000 + 27), bytes);
    EXPECT_EQ(FindIdentityBlock(bytes, 28), bytes);
    EXPECT_EQ(FindIdentityBlock(bytes, 27), nullptr);

    image.replace(0, 8, "Zorvant ");  // the vendor bytes must match exactly
    EXPECT_EQ(FindIdentityBlock(bytes, 0x10000 + 27), nullptr);
    image.replace(0, 8, "ZORVANT_");
    EXPECT_EQ(FindIdentityBlock(bytes, 0x10000 + 27), nullptr);
    EXPECT_EQ(FindIdentityBlock(nullptr, 0), nullptr);
}

TEST(ReduceBlankRunsTest, LeavesSingleBlanksAndOtherWhiteSpace) {
    const struct {
        std::string text, expected;
    } cases[] = {
        {"A  B", "A B"},      {"   A", " A"},        {"A    ", "A "}, {"A B C", "A B C"},
        {"A\t\tB", "A\t\tB"}, {"A \t  B", "A \t B"}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReduceBlankRuns(c.text), c.expected) << '"' << c.text << '"';
}

TEST(MakeTitleTest, TakesAtMost24IdentityAnd4VersionCharacters) {
    EXPECT_EQ(MakeTitle("ZORVANT CDRW   ZR-4810  ;", "1.00"),
              "ZORVANT CDRW ZR-4810 Upgrade => 1.00");
    EXPECT_EQ(MakeTitle("ZR;", "1.0"), "ZR; Upgrade => 1.0");
    EXPECT_EQ(MakeTitle("ABCDEFGHIJKLMNOPQRSTUVWXYZ;", "1.00"),
              "ABCDEFGHIJKLMNOPQRSTUVWX Upgrade => 1.00");
}

// A configuration and an image, and the identity and title they must give.
struct IdentityCase {
    const char* name;
    std::string upgradeLines;
    std::string optionLines;
    int blockOffset;  // -1: no block in the image
    uint8_t code;
    std::string inquiry, version, title;
};

// clang-format off
const IdentityCase kCases[] = {
    {"block replaces the file's identity", "INQUIRY=OTHER DRIVE;\nVERSION=0.01\n", "", 0x10000, kConfigOk,
     kBlockIdentity + ";", "1.00", "ZORVANT CDRW ZR-4810 Upgrade => 1.00"},
    {"block at 0", "", "", 0, kConfigOk, kBlockIdentity + ";", "1.00", "ZORVANT CDRW ZR-4810 Upgrade => 1.00"},
    {"given title is kept", "APPLICATIONTITLE=My  Title\n", "", 0x10000, kConfigOk, kBlockIdentity + ";", "1.00",
     "My  Title"},
    {"block ignored without binary information", "INQUIRY=ZORVANT DVD;ZORVANT CD;\nVERSION=2.00\n",
     "USE BINARY INFORMATION=NO\n", 0x10000, kConfigOk, "ZORVANT DVD;ZORVANT CD;", "2.00",
     "ZORVANT DVD;ZORVANT CD; Upgrade => 2.00"},
    {"version of five characters", "INQUIRY=ZORVANT    CD;\nVERSION=1.02b\n", "", -1, kConfigValueTooLong,
     "", "", ""},
    {"no block, identity from the file, title", "INQUIRY=ZORVANT    CD;\nVERSION=1.02\n", "", -1, kConfigOk,
     "ZORVANT    CD;", "1.02", "ZORVANT CD; Upgrade => 1.02"},
    {"no block, no version", "INQUIRY=ZORVANT CD;\n", "", -1, kConfigIdentityIncomplete, "", "", ""},
    {"no block, no inquiry", "VERSION=1.00\n", "", -1, kConfigIdentityIncomplete, "", "", ""},
    {"no block, inquiry begins with separator", "INQUIRY=;ZORVANT CD;\nVERSION=1.00\n", "", -1,
     kConfigIdentityIncomplete, "", "", ""},
    {"no block, inquiry without separator", "INQUIRY=ZORVANT CD\nVERSION=1.00\n", "", -1,
     kConfigInquiryWithoutSeparator, "", "", ""},
    {"block ignored, inquiry without separator", "INQUIRY=ZORVANT CD\nVERSION=1.00\n", "USE BINARY INFORMATION=NO\n",
     0, kConfigInquiryWithoutSeparator, "", "", ""},
};
// clang-format on

class IdentityCaseTest : public ConfigTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityCaseTest, GivesItsIdentityAndTitle) {
    const IdentityCase& c = GetParam();
    std::string image = PatternImage(0x20000);
    if (c.blockOffset >= 0)
        PutIdentityBlock(image, static_cast<size_t>(c.blockOffset), kBlockIdentity, "1.00");
    files_.Add("FW.BIN", image);
    files_.Add("zorvfirm.ini", "[UPGRADEINFORMATION]\nFIRMWAREFILENAME=FW.BIN\n" + c.upgradeLines +
                                   "[OPTION]\n" + "USE CDROM CAUTION=YES\n" + c.optionLines);
    ASSERT_EQ(LoadConfiguration("FWUPD.INI"), c.code);
    if (c.code != kConfigOk) return;
    EXPECT_EQ(Text(Config.InquiryPatterns), c.inquiry);
    EXPECT_EQ(Text(Config.Version), c.version);
    EXPECT_EQ(Text(Config.AppTitle), c.title);
}

void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<IdentityCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Packages, IdentityCaseTest, ::testing::ValuesIn(kCases), CaseName);

TEST_F(ConfigTest, TheIdentityIsCheckedOnlyAfterBothImagesAreLoaded) {
    // The identity is incomplete, but the missing secondary image is reported first.
    files_.Add("FW.BIN", PatternImage(0x20000));
    files_.Add("zorvfirm.ini",
               "[UPGRADEINFORMATION]\nFIRMWAREFILENAME=FW.BIN\nEPS FIRMWAREFILENAME=EPS.BIN\nEPS "
               "VERSION=1\n"
               "[OPTION]\nUSE CDROM CAUTION=YES\n");
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigEpsNotFound);
}

}  // namespace
