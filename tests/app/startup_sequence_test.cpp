// The start-up sequence's decisions, with every stage and platform service substituted.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/startup_messages.h"
#include "config/image_buffers.h"
#include "config/program_values.h"
#include "scsi/exec_scsi_command.h"
#include "startup_fixture.h"

namespace {

using Calls = std::vector<std::string>;
const Calls kUpToAspiOpen{"LoadConfiguration", "AspiOpen"};

TEST_F(StartupTest, ResetsProgramStateBeforeLoadingTheConfiguration) {
    system.Version = {platform::kPlatformWin32Nt, 5};
    system.Lcid = 1041;
    system.ExePath = "/home/user/package/FWUPD.EXE";
    RunStartup();

    ASSERT_FALSE(stages.calls.empty());
    EXPECT_EQ(stages.calls[0], "LoadConfiguration");
    EXPECT_EQ(stages.profileName, "FWUPD.INI");
    UpdateConfig expected;
    std::memset(&expected, 0, sizeof expected);
    expected.BufferSize = 8192;
    expected.WaitSeconds = 15;
    expected.OsKind = 2;
    const auto* expectedBytes = reinterpret_cast<const unsigned char*>(&expected);
    EXPECT_EQ(stages.configBytesAtLoad,
              std::vector<unsigned char>(expectedBytes, expectedBytes + sizeof expected));
    EXPECT_EQ(stages.lcidAtLoad, 1041u);
    EXPECT_TRUE(stages.driveTableZeroAtLoad);
    EXPECT_EQ(stages.chunkCounterAtLoad, 0u);
    EXPECT_EQ(stages.workerStateAtLoad, 0);
    EXPECT_EQ(stages.selectedDriveAtLoad, 0);
    EXPECT_EQ(stages.usePassThroughAtLoad, 0);
}

// ---- Restart-only mode, chosen by the executable's name -----------------------------------

struct NameCase {
    const char* exePath;
    bool restartOnly;
};

class RestartOnlyByName : public StartupTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(RestartOnlyByName, WaitsEightSecondsAndRestartsWithoutConfiguration) {
    const NameCase& c = GetParam();
    system.ExePath = c.exePath;
    system.Lcid = 1041;
    system.Version = {platform::kPlatformWin32Nt, 4};
    RunStartup();

    if (c.restartOnly) {
        EXPECT_EQ(stages.calls, Calls{"RestartComputer"});
        EXPECT_EQ(events.WaitTimeouts(), std::vector<uint32_t>{8000});
        EXPECT_EQ(stages.waitsBeforeRestart, 1u) << "the wait comes before the restart";
        EXPECT_EQ(events.LiveCount(), 0) << "the sleep's event is closed";
        // The restart needs the OS family and the language, so both are set first.
        EXPECT_EQ(stages.osKindAtRestart, 1);
        EXPECT_EQ(stages.lcidAtRestart, 1041u);
        EXPECT_TRUE(messages.Boxes().empty());
    } else {
        ASSERT_FALSE(stages.calls.empty());
        EXPECT_EQ(stages.calls[0], "LoadConfiguration");
        EXPECT_EQ(std::count(stages.calls.begin(), stages.calls.end(), "RestartComputer"), 0);
        EXPECT_TRUE(events.WaitTimeouts().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, RestartOnlyByName,
    ::testing::Values(NameCase{"/tmp/REB_0001.EXE", true}, NameCase{"/usr/bin/REBOOT.EXE", true},
                      NameCase{"/tmp/REB_0001", true}, NameCase{"/tmp/REB", true},
                      NameCase{"/tmp/reb_0001.exe", false}, NameCase{"/opt/Reb_0001", false},
                      NameCase{"/opt/RE", false}, NameCase{"/opt/RE.B", false},
                      NameCase{"/opt/REB_dir/zvfirm", false}, NameCase{"/opt/xREB", false},
                      NameCase{"/opt/zvfirm", false}));

TEST_F(StartupTest, RestartOnlyStillRestartsWhenNoEventCanBeCreated) {
    system.ExePath = "/tmp/REB_00ff.EXE";
    events.FailCreation(true);
    RunStartup();
    EXPECT_EQ(stages.calls, Calls{"RestartComputer"});
    EXPECT_EQ(events.FailedCreationCount(), 1);
}

// ---- Messages for the configuration's codes -----------------------------------------------

struct CodeCase {
    uint8_t code;
    const char* english;
    const char* japanese;
};

class ConfigurationFailure : public StartupTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ConfigurationFailure, ShowsItsMessageInTheUsersLanguageAndEnds) {
    const CodeCase& c = GetParam();
    // Only exactly 1041 is Japanese; 2065 is another Japanese identifier and reads English.
    for (const uint32_t lcid : {1033u, 1041u, 2065u, 0u}) {
        SCOPED_TRACE(lcid);
        RecordingStages freshStages;
        freshStages.configCode = c.code;
        stages = freshStages;
        platform::substitute::RecordingMessageBoxes boxes;
        const platform::ScopedService scoped(&platform::Services::Messages, &boxes);
        system.Lcid = lcid;

        EXPECT_EQ(RunStartup(), 1);

        EXPECT_EQ(stages.calls, Calls{"LoadConfiguration"});
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        const auto box = boxes.Boxes()[0];
        EXPECT_EQ(box.text, lcid == 1041 ? c.japanese : c.english);
        EXPECT_EQ(box.title, "Error - Upgrade Program");
        EXPECT_EQ(box.icon, platform::MessageIcon::Stop);
        EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ConfigurationFailure,
    ::testing::Values(
        CodeCase{1, "INI file not found. (Code 1)", "INIファイルが見つかりません。(Code 1)"},
        CodeCase{10, "Firmware file not found. (Code 10)",
                 "ファームウェアファイルが見つかりません。(Code 10)"},
        CodeCase{11, "Firmware file reading failure. (Code 11)",
                 "ファームウェアの読み込みに失敗しました。(Code 11)"},
        CodeCase{12, "Firmware file reading failure. (Code 12)",
                 "ファームウェアの読み込みに失敗しました。(Code 12)"},
        CodeCase{2, "INI file value error. (Code 2)", "INIファイルの値が異常です。(Code 2)"},
        CodeCase{3, "INI file value error. (Code 3)", "INIファイルの値が異常です。(Code 3)"},
        CodeCase{4, "INI file value error. (Code 4)", "INIファイルの値が異常です。(Code 4)"},
        CodeCase{5, "INI file value error. (Code 5)", "INIファイルの値が異常です。(Code 5)"},
        CodeCase{6, "INI file value error. (Code 6)", "INIファイルの値が異常です。(Code 6)"},
        CodeCase{7, "INI file value error. (Code 7)", "INIファイルの値が異常です。(Code 7)"},
        CodeCase{8, "INI file value error. (Code 8)", "INIファイルの値が異常です。(Code 8)"},
        CodeCase{9, "INI file value error. (Code 9)", "INIファイルの値が異常です。(Code 9)"},
        // The secondary image's codes read as value errors, not as firmware-file errors.
        CodeCase{20, "INI file value error. (Code 20)", "INIファイルの値が異常です。(Code 20)"},
        CodeCase{21, "INI file value error. (Code 21)", "INIファイルの値が異常です。(Code 21)"},
        CodeCase{22, "INI file value error. (Code 22)", "INIファイルの値が異常です。(Code 22)"},
        CodeCase{255, "INI file value error. (Code 255)",
                 "INIファイルの値が異常です。(Code 255)"}));

// ---- Later early ends ---------------------------------------------------------------------

struct EarlyEndCase {
    const char* name;
    bool aspi;  // ASPI transport (9x family) or pass-through
    int aspiOpenResult;
    uint32_t adapterCount;
    uint32_t driveCount;
    Calls calls;
    const char* english;
    const char* japanese;
};

class EarlyEnd : public StartupTest, public ::testing::WithParamInterface<EarlyEndCase> {};

TEST_P(EarlyEnd, ShowsOneMessageAndKeepsWhatItHolds) {
    const EarlyEndCase& c = GetParam();
    for (const uint32_t lcid : {1033u, 1041u}) {
        SCOPED_TRACE(lcid);
        RecordingStages freshStages;
        freshStages.onLoad = [] {
            ReleaseMainImage();
            Config.Image = AllocateImageBuffer(64);
        };
        freshStages.aspiOpenResult = c.aspiOpenResult;
        freshStages.adapterCount = c.adapterCount;
        freshStages.driveCount = c.driveCount;
        stages = freshStages;
        platform::substitute::RecordingMessageBoxes boxes;
        const platform::ScopedService scoped(&platform::Services::Messages, &boxes);
        system.Lcid = lcid;
        system.Version = c.aspi ? platform::OsVersion{platform::kPlatformWin32Windows, 4}
                                : platform::OsVersion{platform::kPlatformWin32Nt, 10};

        EXPECT_EQ(RunStartup(), 1);

        EXPECT_EQ(stages.calls, c.calls);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, lcid == 1041 ? c.japanese : c.english);
        EXPECT_EQ(boxes.Boxes()[0].title, "Error - Upgrade Program");
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MessageIcon::Stop);
        // An end before the main dialog releases nothing: the process ends right after.
        EXPECT_NE(Config.Image, nullptr);
        // The next round's start-up clears Config; the buffer must not be lost with it.
        ReleaseMainImage();
    }
}

INSTANTIATE_TEST_SUITE_P(Stages, EarlyEnd,
                         ::testing::Values(EarlyEndCase{"AspiLoadFailed", true, 0, 2, 1,
                                                        kUpToAspiOpen, "WNASPI32.DLL load failed.",
                                                        "WNASPI32.DLLのロードに失敗しました。"},
                                           EarlyEndCase{"AspiNotFound",
                                                        true,
                                                        1,
                                                        0,
                                                        1,
                                                        {"LoadConfiguration", "AspiOpen",
                                                         "AspiAdapterCount"},
                                                        "ASPI32 not found.",
                                                        "ASPI32が見つかりません。"},
                                           EarlyEndCase{"NoDriveOnAspi",
                                                        true,
                                                        1,
                                                        2,
                                                        0,
                                                        {"LoadConfiguration", "AspiOpen",
                                                         "AspiAdapterCount", "DiscoverDrives"},
                                                        "No drive found.",
                                                        "ドライブが見つかりません。"},
                                           EarlyEndCase{"NoDriveOnPassThrough",
                                                        false,
                                                        1,
                                                        2,
                                                        0,
                                                        {"LoadConfiguration", "DiscoverDrives"},
                                                        "No drive found.",
                                                        "ドライブが見つかりません。"}),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- Transport choice ---------------------------------------------------------------------

struct TransportCase {
    uint32_t platformId;
    uint32_t major;
    uint8_t noPassThrough;
    uint8_t osKind;
    uint8_t usePassThrough;
};

class TransportChoice : public StartupTest, public ::testing::WithParamInterface<TransportCase> {};

TEST_P(TransportChoice, FollowsTheOsFamilyAndTheOption) {
    const TransportCase& c = GetParam();
    system.Version = {c.platformId, c.major};
    const uint8_t noPassThrough = c.noPassThrough;
    stages.onLoad = [noPassThrough] {
        Config.NoPassThrough = noPassThrough;
        Config.Image = AllocateImageBuffer(64);
    };
    EXPECT_EQ(RunStartup(), 0);

    EXPECT_EQ(stages.configAtLoad.OsKind, c.osKind);
    EXPECT_EQ(UsePassThrough, c.usePassThrough);
    const Calls aspiPath{"LoadConfiguration", "AspiOpen",      "AspiAdapterCount",
                         "DiscoverDrives",    "RunMainDialog", "AspiClose"};
    const Calls passThroughPath{"LoadConfiguration", "DiscoverDrives", "RunMainDialog"};
    EXPECT_EQ(stages.calls, c.usePassThrough ? passThroughPath : aspiPath);
    EXPECT_TRUE(messages.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Families, TransportChoice,
                         ::testing::Values(
                             // The 9x family always uses ASPI, whatever the option says.
                             TransportCase{platform::kPlatformWin32Windows, 4, 0, 0, 0},
                             TransportCase{platform::kPlatformWin32Windows, 4, 1, 0, 0},
                             TransportCase{0, 10, 0, 0, 0},
                             TransportCase{platform::kPlatformWin32Nt, 3, 0, 1, 1},
                             TransportCase{platform::kPlatformWin32Nt, 4, 0, 1, 1},
                             TransportCase{platform::kPlatformWin32Nt, 4, 1, 1, 0},
                             TransportCase{platform::kPlatformWin32Nt, 5, 0, 2, 1},
                             TransportCase{platform::kPlatformWin32Nt, 10, 0, 2, 1},
                             TransportCase{platform::kPlatformWin32Nt, 10, 1, 2, 0},
                             // Only exactly 1 turns the pass-through interface off.
                             TransportCase{platform::kPlatformWin32Nt, 10, 2, 2, 1}),
                         [](const auto& param) {
                             return "Platform" + std::to_string(param.param.platformId) + "Major" +
                                    std::to_string(param.param.major) + "NoPassThrough" +
                                    std::to_string(param.param.noPassThrough);
                         });

// ---- Notice dialog ------------------------------------------------------------------------

TEST_F(StartupTest, NoticeDialogIsShownOnlyWhenTheConfigurationNamesADriveClass) {
    for (const uint8_t caution : std::vector<uint8_t>{0, 1, 2, 3, 4}) {
        SCOPED_TRACE(static_cast<int>(caution));
        RecordingStages freshStages;
        freshStages.onLoad = [caution] {
            ReleaseMainImage();
            Config.CautionKind = caution;
            Config.Image = AllocateImageBuffer(64);
        };
        stages = freshStages;
        system.Version = {platform::kPlatformWin32Windows, 4};
        RunStartup();
        Calls expected{"LoadConfiguration"};
        if (caution != 0) expected.push_back("RunNoticeDialog");
        for (const char* call :
             {"AspiOpen", "AspiAdapterCount", "DiscoverDrives", "RunMainDialog", "AspiClose"})
            expected.push_back(call);
        EXPECT_EQ(stages.calls, expected);
    }
}

TEST_F(StartupTest, AnythingButOkInTheNoticeDialogEndsSilentlyBeforeAspi) {
    for (const int answer : {platform::kIdCancel, 0, platform::kIdNo}) {
        SCOPED_TRACE(answer);
        RecordingStages freshStages;
        freshStages.onLoad = [] { Config.CautionKind = 2; };
        freshStages.noticeResult = answer;
        stages = freshStages;
        system.Version = {platform::kPlatformWin32Windows, 4};
        // Declining the notice is the user's choice, not a failure.
        EXPECT_EQ(RunStartup(), 0);
        EXPECT_EQ(stages.calls, (Calls{"LoadConfiguration", "RunNoticeDialog"}));
    }
    EXPECT_TRUE(messages.Boxes().empty());
}

// ---- Clean-up after the main dialog -------------------------------------------------------

struct CleanUpCase {
    const char* name;
    bool aspi;
    int mainResult;
    uint8_t noDeleteFile;
    Calls afterMain;
};

class CleanUp : public StartupTest, public ::testing::WithParamInterface<CleanUpCase> {};

TEST_P(CleanUp, ReleasesAndRestartsOnlyWhenAsked) {
    const CleanUpCase& c = GetParam();
    system.Version = c.aspi ? platform::OsVersion{platform::kPlatformWin32Windows, 4}
                            : platform::OsVersion{platform::kPlatformWin32Nt, 10};
    const uint8_t noDeleteFile = c.noDeleteFile;
    stages.onLoad = [noDeleteFile] {
        Config.NoDeleteFile = noDeleteFile;
        Config.Image = AllocateImageBuffer(64);
        Config.EpsImage = AllocateImageBuffer(16);
    };
    stages.driveCount = 3;
    stages.mainResult = c.mainResult;
    RunStartup();

    const auto main = std::find(stages.calls.begin(), stages.calls.end(), "RunMainDialog");
    ASSERT_NE(main, stages.calls.end());
    EXPECT_EQ(Calls(main + 1, stages.calls.end()), c.afterMain);
    EXPECT_EQ(stages.driveCountAtMain, 3);
    EXPECT_EQ(Config.Image, nullptr) << "the main image is released after the main dialog";
    EXPECT_NE(Config.EpsImage, nullptr) << "the secondary image is left to the process end";
    EXPECT_FALSE(stages.imageHeldAtRestart);
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_TRUE(events.WaitTimeouts().empty()) << "only the restart copy sleeps";
}

INSTANTIATE_TEST_SUITE_P(
    Results, CleanUp,
    ::testing::Values(
        CleanUpCase{
            "AspiOkNoDeleteFile", true, platform::kIdOk, 1, {"AspiClose", "RestartComputer"}},
        CleanUpCase{"PassThroughOkNoDeleteFile", false, platform::kIdOk, 1, {"RestartComputer"}},
        // With the temporary copy in use, the copy reboots; this process only ends.
        CleanUpCase{"AspiOkWithCopy", true, platform::kIdOk, 0, {"AspiClose"}},
        CleanUpCase{"PassThroughOkWithCopy", false, platform::kIdOk, 0, {}},
        // EXIT never reboots.
        CleanUpCase{"AspiExit", true, platform::kIdCancel, 1, {"AspiClose"}},
        CleanUpCase{"PassThroughExit", false, platform::kIdCancel, 1, {}},
        CleanUpCase{"PassThroughOtherResult", false, 0, 1, {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(StartupTest, CleanUpCopesWithNoImageHeld) {
    stages.onLoad = [] { Config.NoDeleteFile = 1; };
    stages.mainResult = platform::kIdOk;
    RunStartup();
    EXPECT_EQ(stages.calls.back(), "RestartComputer");
    EXPECT_EQ(Config.Image, nullptr);
}

}  // namespace
