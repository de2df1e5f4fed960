// Version strings read as numbers: what "%f" reads from four characters, and that the
// user's locale cannot change it.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "config/update_config.h"
#include "scsi/drive_entry.h"
#include "tests/update/update_rig.h"
#include "update/pre_update_checks.h"
#include "update/version_number.h"

namespace update_test {
namespace {

struct NumberCase {
    const char* text;  // four characters; nothing after them is read
    float expected;
};

// clang-format off
const NumberCase kNumbers[] = {
    {"1.04", 1.04f}, {"1.9x", 1.9f},  {"1.10", 1.10f}, {"2.00", 2.0f},
    {"1.e1", 10.0f}, {"-1.5", -1.5f}, {" .5x", 0.5f},  {"+.25", 0.25f},
    {"x.04", 0.0f},  {"....", 0.0f},  {"1.2\0" "9", 1.2f},
};
// clang-format on

TEST(ReadVersionNumber, ReadsWhatPercentFReadsFromTheFourCharacters) {
    for (const NumberCase& c : kNumbers) {
        SCOPED_TRACE(std::string(c.text, 4));
        // The fifth character must not be read: a digit stands there.
        char field[5];
        std::memcpy(field, c.text, 4);
        field[4] = '7';
        EXPECT_EQ(ReadVersionNumber(field), c.expected);
    }
}

// A locale whose decimal separator is a comma: de_DE.UTF-8 when the system has it, else
// built from the system's locale sources into a temporary folder (LOCPATH).
class GermanNumbers : public testing::Test {
protected:
    void SetUp() override {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return;
        folder_ =
            std::filesystem::temp_directory_path() / ("zvfirm-locale-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        const std::string build = "localedef -i de_DE -f UTF-8 '" +
                                  (folder_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(build.c_str()) != 0)
            GTEST_SKIP() << "de_DE.UTF-8 is neither installed nor buildable (localedef and "
                            "the locales package)";
        setenv("LOCPATH", folder_.c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
            GTEST_SKIP() << "the locale built with localedef does not load";
    }

    void TearDown() override {
        std::setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }

private:
    std::filesystem::path folder_;
};

TEST_F(GermanNumbers, DoNotChangeTheVersionComparison) {
    // The locale is in force: a plain conversion stops at the point.
    float plain = 0.0f;
    ASSERT_EQ(std::sscanf("1.04", "%f", &plain), 1);
    ASSERT_EQ(plain, 1.0f) << "the comma locale did not take effect";

    EXPECT_EQ(ReadVersionNumber("1.04"), 1.04f);
    EXPECT_EQ(ReadVersionNumber("1.9x"), 1.9f);

    // 1.04 against 1.06 would read as 1 against 1 and ask nothing.
    UpdateRig rig(Transport::PassThrough, DefaultDrive());
    std::memcpy(Config.Version, "1.04", 4);
    std::memcpy(DriveTable[0].Revision, "1.06", 4);
    rig.messages.QueueAnswer(platform::kIdNo);
    EXPECT_FALSE(CheckBeforeUpdate());
    EXPECT_EQ(rig.messages.Boxes().size(), 1u);

    // The thread's locale is the user's again afterwards.
    ASSERT_EQ(std::sscanf("1.04", "%f", &plain), 1);
    EXPECT_EQ(plain, 1.0f);
}

}  // namespace
}  // namespace update_test
