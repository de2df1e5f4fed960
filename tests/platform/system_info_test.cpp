// Names taken from the executable's path, and locale names turned into locale identifiers.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/linux/linux_platform.h"
#include "platform/system_info.h"

namespace {

TEST(ExeNameFromPath, DropsFolderAndLastExtensionOnly) {
    struct Case {
        const char* path;
        const char* exeName;
    };
    // clang-format off
    const Case cases[] = {
        {"/opt/tools/FWUPD.EXE", "FWUPD"},
        {"/opt/tools/zvfirm", "zvfirm"},
        {"zvfirm", "zvfirm"},
        {"/tmp/REB_00a1.EXE", "REB_00a1"},
        {"/opt/fw.v2/zvfirm", "zvfirm"},          // a dot in a folder is not an extension
        {"/opt/tools/update.tar.gz", "update.tar"},  // only the last extension goes
        {"/opt/tools/name.", "name"},
        {"", ""},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(platform::ExeNameFromPath(c.path), c.exeName) << c.path;
}

TEST(ProfileNameFromExeName, AppendsUpperCaseIni) {
    EXPECT_EQ(platform::ProfileNameFromExeName("FWUPD"), "FWUPD.INI");
    EXPECT_EQ(platform::ProfileNameFromExeName("zvfirm"), "zvfirm.INI");
}

TEST(LcidFromLocaleName, MapsLanguageAndCountry) {
    struct Case {
        const char* locale;
        uint32_t lcid;
    };
    // clang-format off
    const Case cases[] = {
        {"ja_JP.UTF-8", 1041}, {"ja_JP", 1041},       {"ja", 1041},
        {"ja_JP.eucJP", 1041}, {"ja_JP.UTF-8@x", 1041}, {"de_DE.UTF-8", 1031},
        {"de_AT.UTF-8", 1031}, {"en_US.UTF-8", 1033}, {"en_GB.UTF-8", 2057},
        {"fr_FR", 1036},       {"", 1033},            {"C", 1033},
        {"C.UTF-8", 1033},     {"POSIX", 1033},       {"xx_YY", 1033},
        {"j", 1033},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(platform::LcidFromLocaleName(c.locale), c.lcid) << c.locale;
}

// Sets or clears one environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old != nullptr) saved_ = old;
        hadValue_ = old != nullptr;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable() {
        if (hadValue_)
            setenv(name_, saved_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string saved_;
    bool hadValue_ = false;
};

TEST(LinuxSystemInfo, LocaleComesFromTheFirstSetVariable) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        uint32_t lcid;
    };
    // clang-format off
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", 1041},
        {"de_DE.UTF-8", nullptr, "ja_JP.UTF-8", 1031},
        {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", 1041},
        {"", "", "ja_JP.UTF-8", 1041},  // an empty variable counts as unset
        {nullptr, nullptr, nullptr, 1033},
    };
    // clang-format on
    for (const Case& c : cases) {
        ScopedVariable lcAll("LC_ALL", c.lcAll);
        ScopedVariable lcMessages("LC_MESSAGES", c.lcMessages);
        ScopedVariable lang("LANG", c.lang);
        EXPECT_EQ(platform::linux_os::LinuxSystemInfo().UserDefaultLcid(), c.lcid)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

TEST(LinuxSystemInfo, ReportsTheNtFamilyAndThisExecutable) {
    platform::SystemInfo& system = platform::linux_os::LinuxSystemInfo();
    const platform::OsVersion version = system.QueryOsVersion();
    EXPECT_EQ(version.PlatformId, platform::kPlatformWin32Nt);
    EXPECT_GE(version.MajorVersion, 5u);
    EXPECT_EQ(platform::ExeNameFromPath(system.ExecutablePath()), "zv_platform_tests");
}

TEST(LinuxSystemInfo, TempFolderEndsInASlash) {
    platform::SystemInfo& system = platform::linux_os::LinuxSystemInfo();
    {
        ScopedVariable tmp("TMPDIR", "/var/tmp/zv");
        EXPECT_EQ(system.TempFolder(), "/var/tmp/zv/");
    }
    {
        ScopedVariable tmp("TMPDIR", "/var/tmp/zv/");
        EXPECT_EQ(system.TempFolder(), "/var/tmp/zv/");
    }
    {
        ScopedVariable tmp("TMPDIR", nullptr);
        EXPECT_EQ(system.TempFolder(), "/tmp/");
    }
}

}  // namespace
