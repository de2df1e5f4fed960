// The Linux power management against a mock logind on a private system bus: the reboot
// right, the reboot request, and the sleep and shutdown hold.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "mock_logind.h"
#include "platform/linux/logind_power.h"
#include "tests/support/temp_folder.h"

using test_support::TempFolder;

namespace fs = std::filesystem;

namespace {

class LogindPower : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MockLogind::ToolsPresent())
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        ASSERT_TRUE(logind_.StartBus());
    }

    TempFolder folder_;
    MockLogind logind_{folder_.Path()};
    platform::linux_os::LogindPower power_;
};

TEST_F(LogindPower, MayRebootWhenLogindSaysYesOrChallenge) {
    struct Case {
        const char* answer;
        bool may;
    };
    for (const Case c :
         {Case{"yes", true}, Case{"challenge", true}, Case{"no", false}, Case{"na", false}}) {
        SCOPED_TRACE(c.answer);
        ASSERT_TRUE(logind_.StartLogind(std::string("{\"CanReboot\": \"") + c.answer + "\"}"));
        EXPECT_EQ(power_.CanReboot(), c.may);
        EXPECT_NE(logind_.CallLog().find(" CanReboot"), std::string::npos);
    }
}

TEST_F(LogindPower, RebootIsAnInteractiveRequest) {
    ASSERT_TRUE(logind_.StartLogind());
    EXPECT_TRUE(power_.Reboot());
    EXPECT_NE(logind_.CallLog().find(" Reboot True\n"), std::string::npos) << logind_.CallLog();
}

TEST_F(LogindPower, RefusedRebootIsAFailure) {
    ASSERT_TRUE(logind_.StartLogind());
    ASSERT_TRUE(logind_.RefuseReboot());
    EXPECT_FALSE(power_.Reboot());
    EXPECT_NE(logind_.CallLog().find(" Reboot raised"), std::string::npos) << logind_.CallLog();
}

TEST_F(LogindPower, WithoutLogindNothingIsGranted) {
    struct Case {
        const char* name;
        const char* address;  // null: the private bus, without logind on it
    };
    const std::string missing = "unix:path=" + (folder_.Path() / "no-such-bus").string();
    for (const Case c : {Case{"bus without logind", nullptr}, Case{"no bus", missing.c_str()}}) {
        SCOPED_TRACE(c.name);
        if (c.address != nullptr) setenv("DBUS_SYSTEM_BUS_ADDRESS", c.address, 1);
        EXPECT_FALSE(power_.CanReboot());
        EXPECT_FALSE(power_.Reboot());
        EXPECT_EQ(power_.HoldSleepAndShutdown("Writing firmware to the drive"), nullptr);
    }
}

TEST_F(LogindPower, HoldIsListedWhileHeldAndGoneWhenReleased) {
    ASSERT_TRUE(logind_.StartLogind());
    EXPECT_EQ(logind_.ListInhibitors().find("zvfirm"), std::string::npos);

    std::unique_ptr<platform::PowerHold> hold =
        power_.HoldSleepAndShutdown("Writing firmware to the drive");
    ASSERT_NE(hold, nullptr);
    const std::string listed = logind_.ListInhibitors();
    for (const char* field :
         {"string "
          "\"sleep:shutdown:idle:handle-lid-switch:handle-suspend-key:handle-hibernate-key\"",
          "string \"zvfirm\"", "string \"Writing firmware to the drive\"", "string \"block\""})
        EXPECT_NE(listed.find(field), std::string::npos) << field << "\n" << listed;

    hold.reset();
    // logind drops the lock when it sees the descriptor closed, in its own time.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (logind_.ListInhibitors().find("zvfirm") != std::string::npos &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(logind_.ListInhibitors().find("zvfirm"), std::string::npos)
        << logind_.ListInhibitors();
}

}  // namespace
