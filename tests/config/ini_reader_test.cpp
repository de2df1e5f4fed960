#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>

#include "config/ini_reader.h"
#include "config/load_configuration.h"
#include "config_fixture.h"
#include "platform/files.h"

using namespace std::string_literals;

namespace {

const std::string kHead = "[UPGRADEINFORMATION]\n";
const std::string kOption = "[OPTION]\n";

class IniReaderTest : public ConfigTest {
protected:
    uint8_t Read(const std::string& text, bool doubleByte = false) {
        files_.Add("FWUPD.INI", text);
        return ReadConfigurationFile("FWUPD.INI", Config, doubleByte);
    }
};

TEST_F(IniReaderTest, OpensTheProfileFileThenTheFallbackThenGivesUp) {
    EXPECT_EQ(ReadConfigurationFile("FWUPD.INI", Config, false), kConfigFileNotFound);
    EXPECT_EQ(files_.OpenRequests(), (std::vector<std::string>{"FWUPD.INI", "zorvfirm.ini"}));

    files_.Add("zorvfirm.ini", kHead + "VERSION=FALL\n" + kOption);
    EXPECT_EQ(ReadConfigurationFile("FWUPD.INI", Config, false), kConfigOk);
    EXPECT_EQ(Text(Config.Version), "FALL");

    files_.Add("FWUPD.INI", kHead + "VERSION=PROF\n" + kOption);
    EXPECT_EQ(ReadConfigurationFile("FWUPD.INI", Config, false), kConfigOk);
    EXPECT_EQ(Text(Config.Version), "PROF");
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

TEST_F(IniReaderTest, AFolderNamedLikeTheProfileFileFallsBack) {
    files_.AddFolder("FWUPD.INI");
    files_.Add("zorvfirm.ini", kHead + kOption);
    EXPECT_EQ(ReadConfigurationFile("FWUPD.INI", Config, false), kConfigOk);
}

// One file and what it must give.
struct IniCase {
    const char* name;
    std::string text;
    uint8_t code;
    std::function<void(const UpdateConfig&)> check;
};

void NoCheck(const UpdateConfig&) {}

// `text` followed by a line of filler that brings the file to `size` bytes.
std::string PaddedTo(const std::string& text, size_t size) {
    return text + std::string(size - text.size() - 1, 'x') + "\n";
}

// clang-format off
const IniCase kSectionCases[] = {
    {"empty file", "", kConfigNoUpgradeSection, NoCheck},
    {"no header", "VERSION=1.00\n[OPTION]\n", kConfigNoUpgradeSection, NoCheck},
    {"header with a blank before it", " [UPGRADEINFORMATION]\n[OPTION]\n", kConfigNoUpgradeSection, NoCheck},
    {"only the upgrade header", "[UPGRADEINFORMATION]", kConfigNoOptionSection, NoCheck},
    {"option section first", "[OPTION]\nUSE RESTART=NO\n[UPGRADEINFORMATION]\nVERSION=1.00\n",
     kConfigNoOptionSection, NoCheck},
    {"option section before and after", "[OPTION]\nUSE RESTART=NO\n" + kHead + kOption,
     kConfigOk, [](const UpdateConfig& c) { EXPECT_EQ(c.NoRestartPrompt, 0); }},
    {"lower-case headers and keys, anything after a header",
     "[upgradeinformation] ; comment\ninquiry=Zorvant CDRW;\nVersion=1.0a\n[option]xyz\nuse restart=no\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.InquiryPatterns), "Zorvant CDRW;");
         EXPECT_EQ(Text(c.Version), "1.0a");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    {"CRLF lines, blanks and case of text values kept",
     "[UPGRADEINFORMATION]\r\nApplicationTitle=  My Drive Update  \r\nFIRMWAREFILENAME=fw File.bin\r\n"
     "[OPTION]\r\nUSE RESTART=NO\r\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.AppTitle), "  My Drive Update  ");
         EXPECT_EQ(Text(c.FirmwareFileName), "fw File.bin");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    {"blank before a key or before its =", kHead + " VERSION=1.00\nVERSION =1.00\n" + kOption +
     " USE RESTART=NO\nUSE RESTART =NO\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.Version), "");
         EXPECT_EQ(c.NoRestartPrompt, 0);
     }},
    {"a later line replaces the value whole", kHead + "INQUIRY=AAAAAAAAAAAA;BBBBBBBB;\nINQUIRY=CC;\n" + kOption,
     kConfigOk, [](const UpdateConfig& c) { EXPECT_EQ(Text(c.InquiryPatterns), "CC;"); }},
    {"keys of the other section have no effect",
     kHead + "USE RESTART=NO\nUPDATE WAIT TIME=3\n" + kOption + "VERSION=1.00\nBUFFERSIZE=16\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.NoRestartPrompt, 0);
         EXPECT_EQ(c.WaitSeconds, 15);
         EXPECT_EQ(Text(c.Version), "");
         EXPECT_EQ(c.BufferSize, 8192u);
     }},
    {"a second upgrade header in the option section is just a line",
     kHead + kOption + "[UPGRADEINFORMATION]\nVERSION=9.99\nUSE RESTART=NO\n", kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.Version), "");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    {"empty lines and unrecognised lines are skipped",
     "\n\n# note\n" + kHead + "\n;VERSION=0.00\n\nVERSION=1.00\n\n" + kOption + "\n\nUSE RESTART=NO", kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.Version), "1.00");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    {"Ctrl-Z ends the file", kHead + kOption + "USE TWICE UPDATE=YES\n\x1aUSE RESTART=NO\n", kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.TwiceUpdate, 1);
         EXPECT_EQ(c.NoRestartPrompt, 0);
     }},
    {"UTF-8 byte-order mark before the header", "\xEF\xBB\xBF" + kHead + "VERSION=1.00\n" + kOption,
     kConfigOk, [](const UpdateConfig& c) { EXPECT_EQ(Text(c.Version), "1.00"); }},
    {"UTF-8 byte-order mark before an empty first line", "\xEF\xBB\xBF\r\n" + kHead + kOption, kConfigOk,
     NoCheck},
    {"a byte-order mark is skipped only at the very start", "\n\xEF\xBB\xBF" + kHead + kOption,
     kConfigNoUpgradeSection, NoCheck},
    {"a byte-order mark before the option header is part of the line",
     kHead + "\xEF\xBB\xBF" + kOption, kConfigNoOptionSection, NoCheck},
    {"half a byte-order mark stays", "\xEF\xBB" + kHead + kOption, kConfigNoUpgradeSection, NoCheck},
    {"Ctrl-Z before the option header", kHead + "\x1a" + kOption, kConfigNoOptionSection, NoCheck},
};
// clang-format on

// clang-format off
const IniCase kValueCases[] = {
    {"numbers", kHead + "FIRMWAREFILESIZE=  524288 bytes\nBUFFERSIZE=+16384\nEPS FIRMWAREFILESIZE=-1\n" + kOption,
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.FirmwareSize, 524288u);
         EXPECT_EQ(c.BufferSize, 16384u);
         EXPECT_EQ(c.EpsSize, 0xFFFFFFFFu);
     }},
    {"hexadecimal size reads as 0", kHead + "FIRMWAREFILESIZE=0x80000\n" + kOption, kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.FirmwareSize, 0u); }},
    {"defaults stay without their keys", kHead + kOption, kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.BufferSize, 8192u);
         EXPECT_EQ(c.WaitSeconds, 15);
         EXPECT_EQ(c.OsKind, 2);
     }},
    {"wait time in 8 bits", kHead + kOption + "UPDATE WAIT TIME=300\nUSE PCB VERSION CHECK=-1\n", kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.WaitSeconds, 44);
         EXPECT_EQ(c.PcbCheck, 255);
     }},
    {"wait time of letters only", kHead + kOption + "UPDATE WAIT TIME=long\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.WaitSeconds, 0); }},
    {"every flag set, values case-blind",
     kHead + kOption +
         "use scsipassthroughinterface on winnt=no\nUSE MELCO EXTERNAL DRIVE INQUIRY=yes\n"
         "USE PCB VERSION CHECK=2\nUSE DELETE FILE=No\nUSE RESTART=NONE\nUSE BINARY INFORMATION=NO\n"
         "USE TWICE UPDATE=YESTERDAY\nUSE UPDATE AFTER CMD=YES\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.NoPassThrough, 1);
         EXPECT_EQ(c.MelcoInquiry, 1);
         EXPECT_EQ(c.PcbCheck, 2);
         EXPECT_EQ(c.NoDeleteFile, 1);
         EXPECT_EQ(c.NoRestartPrompt, 1);
         EXPECT_EQ(c.NoBinaryInfo, 1);
         EXPECT_EQ(c.TwiceUpdate, 1);
         EXPECT_EQ(c.UpdateAfterCmd, 1);
     }},
    {"values that fail the tests change nothing",
     kHead + kOption +
         "USE RESTART=YES\nUSE RESTART= NO\nUSE RESTART=N\nUSE MELCO EXTERNAL DRIVE INQUIRY=NO\n"
         "USE TWICE UPDATE= YES\nUSE UPDATE AFTER CMD=YE\nUSE BINARY INFORMATION=\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(c.NoRestartPrompt, 0);
         EXPECT_EQ(c.MelcoInquiry, 0);
         EXPECT_EQ(c.TwiceUpdate, 0);
         EXPECT_EQ(c.UpdateAfterCmd, 0);
         EXPECT_EQ(c.NoBinaryInfo, 0);
     }},
    {"the file never sets a flag back", kHead + kOption + "USE RESTART=NO\nUSE RESTART=YES\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.NoRestartPrompt, 1); }},
    {"CD-R then DVD", kHead + kOption + "USE CDR CAUTION=YES\nUSE DVDRW CAUTION=YES\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.CautionKind, 4); }},
    {"DVD then CD-R", kHead + kOption + "USE DVDRW CAUTION=YES\nUSE CDR CAUTION=YES\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.CautionKind, 1); }},
    {"a caution that fails keeps the earlier one",
     kHead + kOption + "USE CDRW CAUTION=YES\nUSE DVDRW CAUTION=NO\nUSE CDROM CAUTION=\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.CautionKind, 2); }},
    {"CD-ROM caution", kHead + kOption + "use cdrom caution=yes\n", kConfigOk,
     [](const UpdateConfig& c) { EXPECT_EQ(c.CautionKind, 3); }},
    {"every text field at its full room",
     kHead + "APPLICATIONTITLE=" + std::string(127, 'T') + "\nINQUIRY=" + std::string(254, 'I') +
         ";\nVERSION=1234\nFIRMWAREFILENAME=" + std::string(34, 'F') + "\nEPS FIRMWAREFILENAME=" +
         std::string(35, 'E') + "\nEPS VERSION=1234567\n" + kOption,
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.AppTitle), std::string(127, 'T'));
         EXPECT_EQ(Text(c.InquiryPatterns), std::string(254, 'I') + ";");
         EXPECT_EQ(Text(c.Version), "1234");
         EXPECT_EQ(Text(c.FirmwareFileName), std::string(34, 'F'));
         EXPECT_EQ(Text(c.EpsFileName), std::string(35, 'E'));
         EXPECT_EQ(Text(c.EpsVersion), "1234567");
     }},
    {"a long title is cut to its room", kHead + "APPLICATIONTITLE=" + std::string(300, 'T') + "\n" + kOption,
     kConfigOk, [](const UpdateConfig& c) { EXPECT_EQ(Text(c.AppTitle), std::string(127, 'T')); }},
    {"inquiry one too long", kHead + "INQUIRY=" + std::string(255, 'I') + ";\n" + kOption, kConfigValueTooLong,
     NoCheck},
    {"version one too long", kHead + "VERSION=1.045\n" + kOption, kConfigValueTooLong, NoCheck},
    {"file name one too long", kHead + "FIRMWAREFILENAME=" + std::string(35, 'F') + "\n" + kOption,
     kConfigValueTooLong, NoCheck},
    {"EPS file name one too long", kHead + "EPS FIRMWAREFILENAME=" + std::string(36, 'E') + "\n" + kOption,
     kConfigValueTooLong, NoCheck},
    {"EPS version one too long", kHead + "EPS VERSION=12345678\n" + kOption, kConfigValueTooLong, NoCheck},
    {"a text value ends at a zero byte", kHead + "INQUIRY=AB;\0CD\nVERSION=\0"s + std::string(100, 'x') + "\n" +
     kOption + "USE \0RESTART=NO\nUSE RESTART=NO\0junk\n"s,
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.InquiryPatterns), "AB;");
         EXPECT_EQ(Text(c.Version), "");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    {"long lines are ignored and reading goes on",
     kHead + std::string(400000, 'x') + "\nVERSION=1.00\n" + kOption + "USE RESTART=NO" + std::string(400000, 'x') +
         "\n",
     kConfigOk,
     [](const UpdateConfig& c) {
         EXPECT_EQ(Text(c.Version), "1.00");
         EXPECT_EQ(c.NoRestartPrompt, 1);
     }},
    // No configuration is that large: a file that goes on past the limit is refused with the
    // code of a buffer that cannot be held, whatever it holds.
    {"a file exactly at the size limit", PaddedTo(kHead + "VERSION=1.00\n" + kOption, platform::kTextFileLimit),
     kConfigOk, [](const UpdateConfig& c) { EXPECT_EQ(Text(c.Version), "1.00"); }},
    {"a file one byte past the size limit",
     PaddedTo(kHead + "VERSION=1.00\n" + kOption, platform::kTextFileLimit + 1), kConfigNoMemory, NoCheck},
    {"an upgrade section that never ends", kHead + std::string(2 * platform::kTextFileLimit, '\0'),
     kConfigNoMemory, NoCheck},
    {"no header within the size limit", std::string(2 * platform::kTextFileLimit, '\n') + kHead + kOption,
     kConfigNoMemory, NoCheck},
};
// clang-format on

class IniCaseTest : public IniReaderTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(IniCaseTest, GivesItsCodeAndFields) {
    const IniCase& c = GetParam();
    EXPECT_EQ(Read(c.text), c.code);
    c.check(Config);
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<IniCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Sections, IniCaseTest, ::testing::ValuesIn(kSectionCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Values, IniCaseTest, ::testing::ValuesIn(kValueCases), CaseName);

TEST_F(IniReaderTest, LinesSplitAcrossShortReadsReadTheSame) {
    files_.SetMaxReadSize(1);
    EXPECT_EQ(Read("[upgradeinformation]\r\nVERSION=1.00\r\n[OPTION]\r\nUSE RESTART=NO\r\n"),
              kConfigOk);
    EXPECT_EQ(Text(Config.Version), "1.00");
    EXPECT_EQ(Config.NoRestartPrompt, 1);
}

TEST_F(IniReaderTest, AReadErrorIsNotTakenForTheEndOfTheFile) {
    const std::string text = kHead + "VERSION=1.00\n" + kOption + "USE RESTART=NO\n";
    files_.Add("FWUPD.INI", text);
    files_.FailReadsAfter("FWUPD.INI", text.size() - 5);
    EXPECT_EQ(ReadConfigurationFile("FWUPD.INI", Config, false), kConfigFileNotFound);
    EXPECT_EQ(Config.NoRestartPrompt, 0);
    EXPECT_EQ(files_.OpenHandleCount(), 0);
}

TEST_F(IniReaderTest, ALongTitleIsNeverCutInsideADoubleByteCharacter) {
    // 126 letters and one two-byte character: the character does not fit the 127 places.
    const std::string title = std::string(126, 'T') + "\x83\x41"s;
    EXPECT_EQ(Read(kHead + "APPLICATIONTITLE=" + title + "\n" + kOption, true), kConfigOk);
    EXPECT_EQ(Text(Config.AppTitle), std::string(126, 'T'));
    // On a system without double-byte characters the same bytes are cut after the lead byte.
    EXPECT_EQ(Read(kHead + "APPLICATIONTITLE=" + title + "\n" + kOption, false), kConfigOk);
    EXPECT_EQ(Text(Config.AppTitle), std::string(126, 'T') + "\x83");
}

}  // namespace
