// The services the program's entry chooses for a run, from what the environment asks.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/logged_message_boxes.h"
#include "app/run_services.h"
#include "platform/linux/linux_platform.h"
#include "platform/substitute/recording_message_boxes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/whole_file.h"

using test_support::ReadWhole;

namespace {

using platform::MessageButtons;
using platform::MessageIcon;

// The revision the drive behind `letter` reports in its INQUIRY data, or "" when the
// request fails.
std::string RevisionAt(platform::DriveBus& bus, char letter) {
    const platform::DriveHandle handle = bus.Open(letter, true);
    if (handle == platform::kInvalidDrive) return "";
    uint8_t inquiry[36] = {};
    platform::PassThroughBlock block{};
    block.Sptd.CdbLength = 6;
    block.Sptd.Cdb[0] = 0x12;
    block.Sptd.Cdb[4] = sizeof inquiry;
    block.Sptd.DataIn = platform::kDataIn;
    block.Sptd.DataTransferLength = sizeof inquiry;
    block.Sptd.DataBuffer = inquiry;
    block.Sptd.SenseInfoLength = 32;
    block.Sptd.TimeOutValue = 10;
    uint32_t systemError = 0;
    const bool sent = bus.Send(handle, block, &systemError);
    bus.Close(handle);
    return sent ? std::string(reinterpret_cast<char*>(inquiry) + 32, 4) : "";
}

class RunServicesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }

    test_support::TempFolder folder_{"zvfirm-run"};
    platform::substitute::RecordingMessageBoxes shown_;
    std::ostringstream errors_;
};

TEST_F(RunServicesTest, NothingAskedMeansTheSystemsDrivesAndShownBoxes) {
    const platform::Services before = platform::Platform();
    {
        const RunServices services({}, shown_, errors_);
        const platform::Services& now = platform::Platform();
        const platform::Services linux = platform::linux_os::LinuxServices();
        EXPECT_EQ(now.Drives, &platform::linux_os::LinuxDrives());
        EXPECT_EQ(now.Messages, &shown_);
        EXPECT_EQ(now.System, linux.System);
        EXPECT_EQ(now.Events, linux.Events);
        EXPECT_EQ(now.Time, linux.Time);
        EXPECT_EQ(now.Files, linux.Files);
        EXPECT_EQ(now.Libraries, linux.Libraries);
    }
    // The record the run replaced is back afterwards.
    EXPECT_EQ(platform::Platform().Drives, before.Drives);
    EXPECT_EQ(platform::Platform().Messages, before.Messages);
    EXPECT_TRUE(errors_.str().empty());
}

TEST_F(RunServicesTest, SimulatedDrivesFromTheDescriptionTakeTheLetters) {
    RunSettings settings;
    settings.simulatedDrives = folder_.Write("drives.sim",
                                             "[drive]\n"
                                             "revision = 1.00\n"
                                             "[drive]\n"
                                             "revision = 2.50\n"
                                             "medium = loaded\n");
    const RunServices services(settings, shown_, errors_);
    platform::DriveBus& bus = *platform::Platform().Drives;

    EXPECT_NE(&bus, &platform::linux_os::LinuxDrives());
    EXPECT_EQ(bus.DriveType('D'), platform::kDriveCdrom);
    EXPECT_EQ(bus.DriveType('E'), platform::kDriveCdrom);
    EXPECT_EQ(bus.DriveType('F'), platform::kDriveNoRootDir);
    EXPECT_EQ(RevisionAt(bus, 'E'), "2.50");
    EXPECT_TRUE(errors_.str().empty()) << errors_.str();
}

TEST_F(RunServicesTest, AnUnreadableDescriptionAttachesNoDriveAtAll) {
    struct Case {
        const char* what;
        std::string description;  // written to the file; empty: the file is missing
    };
    for (const Case& c :
         {Case{"malformed", "[drive]\nno equals sign here\n"}, Case{"missing", ""}}) {
        RunSettings settings;
        settings.simulatedDrives = (folder_.Path() / c.what).string();
        if (!c.description.empty()) folder_.Write(c.what, c.description);
        std::ostringstream errors;
        const RunServices services(settings, shown_, errors);
        platform::DriveBus& bus = *platform::Platform().Drives;

        // Never the system's drives in their place: a test run must not touch real ones.
        EXPECT_NE(&bus, &platform::linux_os::LinuxDrives()) << c.what;
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            EXPECT_EQ(bus.DriveType(letter), platform::kDriveNoRootDir) << c.what << letter;
        EXPECT_EQ(bus.Open('D', false), platform::kInvalidDrive) << c.what;
        EXPECT_EQ(errors.str().rfind("zvfirm: simulated drives: ", 0), 0u) << errors.str();
    }
}

TEST_F(RunServicesTest, AMessageLogTakesTheBoxesInsteadOfShowingThem) {
    RunSettings settings;
    settings.messageLog = (folder_.Path() / "boxes.log").string();
    const RunServices services(settings, shown_, errors_);
    platform::MessageBoxes& boxes = *platform::Platform().Messages;

    EXPECT_EQ(
        boxes.Show("No drive.", "Error - Upgrade Program", MessageIcon::Stop, MessageButtons::Ok),
        platform::kIdOk);
    EXPECT_EQ(boxes.Show("Restart now?\nSecond line", "Information - Upgrade Program",
                         MessageIcon::Question, MessageButtons::YesNo),
              platform::kIdYes);

    EXPECT_TRUE(shown_.Boxes().empty());
    EXPECT_EQ(ReadWhole(settings.messageLog),
              "[Error - Upgrade Program] icon=stop buttons=ok answer=1\nNo drive.\n\n"
              "[Information - Upgrade Program] icon=question buttons=yes-no answer=6\n"
              "Restart now?\nSecond line\n\n");
}

TEST(LoggedMessageBoxes, ALogThatCannotBeWrittenStillAnswersWithTheDefaultButton) {
    LoggedMessageBoxes boxes("/nonexistent-folder/boxes.log");
    testing::internal::CaptureStderr();
    const int yes = boxes.Show("Restart now?", "Information - Upgrade Program",
                               MessageIcon::Information, MessageButtons::YesNo);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(yes, platform::kIdYes);
    EXPECT_NE(stderrText.find("Information - Upgrade Program: Restart now?"), std::string::npos)
        << stderrText;
}

}  // namespace
