// Whole packages on the real file system, in a temporary folder made the current directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "config/image_buffers.h"
#include "config/load_configuration.h"
#include "config/program_values.h"
#include "config/reset.h"
#include "config/update_config.h"
#include "config_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class LinuxPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetUpdateConfig(2);
        Lcid = 1033;
        previous_ = fs::current_path();
        ASSERT_FALSE(folder_.Path().empty());
        fs::current_path(folder_.Path());
    }

    void TearDown() override {
        ReleaseMainImage();
        ReleaseEpsImage();
        ResetUpdateConfig(2);
        fs::current_path(previous_);
    }

    static void Write(const std::string& name, const std::string& bytes) {
        std::ofstream out(name, std::ios::binary);
        out << bytes;
    }

    fs::path previous_;
    test_support::TempFolder folder_{"zvfirm-config"};
};

const std::string kIni =
    "[UPGRADEINFORMATION]\r\nFIRMWAREFILENAME=fw.bin\r\nFIRMWAREFILESIZE=65563\r\nBUFFERSIZE="
    "4096\r\n"
    "[OPTION]\r\nUSE RESTART=NO\r\n";

TEST_F(LinuxPackageTest, APackageLoadsWithTheBlockAtZeroWhenTheImageCannotHoldOneAt0x10000) {
    // 0x10000 + 27 bytes: a block at 0x10000 would end one byte past the image.
    std::string image = PatternImage(0x10000 + 27);
    PutIdentityBlock(image, 0, "ZORVANT DVD   ZR-5200   ", "2.10");
    image.replace(0x10000, 8, "ZORVANT ");
    Write("fw.bin", image);
    Write("FWUPD.INI", kIni);
    ASSERT_EQ(LoadConfiguration("FWUPD.INI"), kConfigOk);
    EXPECT_EQ(Text(Config.InquiryPatterns), "ZORVANT DVD   ZR-5200   ;");
    EXPECT_EQ(Text(Config.Version), "2.10");
    EXPECT_EQ(Text(Config.AppTitle), "ZORVANT DVD ZR-5200 Upgrade => 2.10");
    EXPECT_EQ(Config.NoRestartPrompt, 1);
    EXPECT_EQ(Config.BufferSize, 4096u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.Image), Config.FirmwareSize), image);
}

TEST_F(LinuxPackageTest, TheFallbackFileIsReadWhenTheProfileFileIsAFolder) {
    fs::create_directory("FWUPD.INI");
    std::string image = PatternImage(0x10000 + 27);
    PutIdentityBlock(image, 0, "ZORVANT DVD   ZR-5200   ", "2.10");
    Write("fw.bin", image);
    Write("zorvfirm.ini", kIni);
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigOk);
}

TEST_F(LinuxPackageTest, MissingOrUnusableFilesGiveTheirCodes) {
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigFileNotFound);

    Write("FWUPD.INI", kIni);
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigImageNotFound);
    ReleaseMainImage();

    fs::create_directory("fw.bin");
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigImageNotFound);
    ReleaseMainImage();
    fs::remove("fw.bin");

    // A FIFO in place of the image must be refused, not waited on for a writer.
    ASSERT_EQ(mkfifo("fw.bin", 0600), 0);
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigImageNotFound);
    ReleaseMainImage();
    fs::remove("fw.bin");

    Write("fw.bin", PatternImage(0x10000 + 26));
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigImageTooShort);
}

TEST_F(LinuxPackageTest, ASecondaryImageIsLoadedOrReportedMissing) {
    std::string image = PatternImage(0x10000 + 27);
    PutIdentityBlock(image, 0, "ZORVANT DVD   ZR-5200   ", "2.10");
    Write("fw.bin", image);
    Write("FWUPD.INI",
          "[UPGRADEINFORMATION]\nFIRMWAREFILENAME=fw.bin\nFIRMWAREFILESIZE=65563\nEPS "
          "FIRMWAREFILENAME=eps.bin\n"
          "EPS VERSION=E2.10\n[OPTION]\n");
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigEpsNotFound);
    ReleaseMainImage();
    ReleaseEpsImage();

    Write("eps.bin", PatternImage(0x10000 - 1));
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigEpsTooShort);
    ReleaseMainImage();
    ReleaseEpsImage();

    const std::string eps = PatternImage(0x10000 + 100);
    Write("eps.bin", eps);
    ASSERT_EQ(LoadConfiguration("FWUPD.INI"), kConfigOk);
    EXPECT_EQ(Config.EpsSize, 0x10000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Config.EpsImage), Config.EpsSize),
              eps.substr(0, 0x10000));
}

// Hostile packages: files without end, and devices or FIFOs where files belong. Each ends
// with its code, without reading gigabytes and without opening the device.
TEST_F(LinuxPackageTest, EndlessAndSpecialFilesGiveTheirCodes) {
    const std::string kIniForZero =
        "[UPGRADEINFORMATION]\nFIRMWAREFILENAME=/dev/zero\nFIRMWAREFILESIZE=65563\n[OPTION]\n";
    struct Case {
        const char* name;
        std::function<void()> make;
        uint8_t code;
    };
    // clang-format off
    const Case cases[] = {
        {"sparse 4 GiB configuration",
         [] {
             Write("FWUPD.INI", "");
             ASSERT_EQ(truncate("FWUPD.INI", off_t{4} << 30), 0);
         },
         kConfigNoMemory},
        {"configuration linked to a /proc file without end",
         [] { fs::create_symlink("/proc/self/pagemap", "FWUPD.INI"); }, kConfigNoMemory},
        {"configuration linked to /dev/zero", [] { fs::create_symlink("/dev/zero", "FWUPD.INI"); },
         kConfigFileNotFound},
        {"configuration is a FIFO", [] { ASSERT_EQ(mkfifo("FWUPD.INI", 0600), 0); }, kConfigFileNotFound},
        {"image named /dev/zero", [&] { Write("FWUPD.INI", kIniForZero); }, kConfigImageNotFound},
        {"image linked to /dev/zero",
         [] {
             Write("FWUPD.INI", kIni);
             fs::create_symlink("/dev/zero", "fw.bin");
         },
         kConfigImageNotFound},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        EXPECT_EQ(LoadConfiguration("FWUPD.INI"), c.code);
        ReleaseMainImage();
        ResetUpdateConfig(2);
        fs::remove("FWUPD.INI");
        fs::remove("fw.bin");
    }
}

TEST_F(LinuxPackageTest, AnUnreadableImageIsNotFound) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
    Write("FWUPD.INI", kIni);
    Write("fw.bin", PatternImage(0x10000 + 27));
    fs::permissions("fw.bin", fs::perms::none);
    EXPECT_EQ(LoadConfiguration("FWUPD.INI"), kConfigImageNotFound);
}

}  // namespace
