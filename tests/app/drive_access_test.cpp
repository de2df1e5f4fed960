// "No drive found." names the optical drives this user cannot open, and what gives access.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/drive_access_text.h"
#include "config/image_buffers.h"
#include "startup_fixture.h"

namespace {

using platform::substitute::ScriptedDriveBus;

ScriptedDriveBus::DriveScript Unopenable() {
    ScriptedDriveBus::DriveScript script;
    script.openReadOnlyFails = true;
    script.openReadWriteFails = true;
    return script;
}

class NoDriveFound : public StartupTest {
protected:
    std::string Run(uint32_t lcid) {
        system.Lcid = lcid;
        stages.onLoad = [] { Config.Image = AllocateImageBuffer(64); };
        stages.driveCount = 0;
        RunStartup();
        ReleaseMainImage();
        return OnlyErrorText();
    }
};

TEST_F(NoDriveFound, NamesEachNodeThatCannotBeOpened) {
    drives.SetDrive('D', Unopenable());
    drives.SetNode('D', {"/dev/sg1", "cdrom", true, EACCES, EACCES});
    drives.SetDrive('E', {});  // opens: not named
    drives.SetDrive('F', Unopenable());
    drives.SetNode('F', {"/dev/sr1", "disk", false, EACCES, EACCES});
    const std::string denied = std::strerror(EACCES);
    EXPECT_EQ(
        Run(1033),
        "No drive found.\n\n"
        "The optical drive D: (/dev/sg1) cannot be opened: " +
            denied +
            ". Access comes with "
            "membership of the group \"cdrom\" (sudo usermod -aG cdrom $USER, then log in again), "
            "an ACL for the node (sudo setfacl -m u:$USER:rw /dev/sg1), or running as root.\n\n"
            "The optical drive F: (/dev/sr1) cannot be opened: " +
            denied +
            ". Load the sg module "
            "(sudo modprobe sg) so that the drive gets a /dev/sgN node; through /dev/sr1 only "
            "root can send firmware.");
    // Nothing is sent to a drive to say this.
    EXPECT_TRUE(drives.Requests().empty());
    EXPECT_EQ(drives.OpenHandleCount(), 0);
}

TEST_F(NoDriveFound, StaysOneLineWithoutOpticalDrives) {
    EXPECT_EQ(Run(1041), "ドライブが見つかりません。");
}

TEST_F(NoDriveFound, StaysOneLineWhenEveryDriveOpens) {
    drives.SetDrive('D', {});
    EXPECT_EQ(Run(1033), "No drive found.");
}

TEST_F(NoDriveFound, JapaneseNamesTheNodeToo) {
    drives.SetDrive('D', Unopenable());
    drives.SetNode('D', {"/dev/sg0", "cdrom", true, EACCES, EACCES});
    const std::string text = Run(1041);
    EXPECT_EQ(
        text.rfind("ドライブが見つかりません。\n\n光学ドライブ D: (/dev/sg0) を開けません: ", 0),
        0u)
        << text;
    EXPECT_NE(text.find("sudo setfacl -m u:$USER:rw /dev/sg0"), std::string::npos) << text;
}

}  // namespace
