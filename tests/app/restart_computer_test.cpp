// Both roads of the reboot request through the power-management substitute: every failing
// step and the message each one shows.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/restart_computer.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "platform/substitute/fake_power.h"
#include "platform/substitute/recording_message_boxes.h"

namespace {

using Calls = std::vector<std::string>;
const Calls kNtRoad{"CanReboot", "Reboot", "ReleaseRebootRight"};

struct RestartCase {
    const char* name;
    uint8_t osKind;
    bool rightGranted;
    bool rebootAccepted;
    bool rightReleased;
    Calls calls;
    size_t messages;
};

class RestartComputerRoads : public ::testing::TestWithParam<RestartCase> {
protected:
    platform::Services WithSubstitutes() {
        platform::Services services = platform::Platform();
        services.PowerManagement = &power;
        services.Messages = &messages;
        return services;
    }

    platform::substitute::FakePower power;
    platform::substitute::RecordingMessageBoxes messages;
    platform::ScopedServices scoped_{WithSubstitutes()};
};

TEST_P(RestartComputerRoads, ShowsOneMessagePerFailedStep) {
    const RestartCase& c = GetParam();
    Config.OsKind = c.osKind;
    power.RightGranted = c.rightGranted;
    power.RebootAccepted = c.rebootAccepted;
    power.RightReleased = c.rightReleased;

    for (const uint32_t lcid : {1033u, 1041u}) {
        SCOPED_TRACE(lcid);
        Lcid = lcid;
        const size_t before = messages.Boxes().size();
        const size_t callsBefore = power.Calls().size();
        RestartComputer();

        const Calls all = power.Calls();
        EXPECT_EQ(Calls(all.begin() + static_cast<long>(callsBefore), all.end()), c.calls);
        const auto boxes = messages.Boxes();
        ASSERT_EQ(boxes.size() - before, c.messages);
        for (size_t i = before; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, lcid == 1041 ? "再起動できませんでした。" : "Can't reboot.");
            EXPECT_EQ(boxes[i].title, "Error - Upgrade Program");
            EXPECT_EQ(boxes[i].icon, platform::MessageIcon::Stop);
            EXPECT_EQ(boxes[i].buttons, platform::MessageButtons::Ok);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RestartComputerRoads,
    ::testing::Values(
        // The 9x family only asks; it has no right to take or give back.
        RestartCase{"Win9xRequestAccepted", 0, true, true, true, {"Reboot"}, 0},
        RestartCase{"Win9xRequestFails", 0, true, false, true, {"Reboot"}, 1},
        RestartCase{"Win9xNeedsNoRight", 0, false, true, false, {"Reboot"}, 0},
        RestartCase{"Nt4RequestAccepted", 1, true, true, true, kNtRoad, 0},
        RestartCase{"NtRequestAccepted", 2, true, true, true, kNtRoad, 0},
        // No right: nothing is asked and nothing given back.
        RestartCase{"NtRightRefused", 2, false, true, true, {"CanReboot"}, 1},
        // A failed request still gives the right back.
        RestartCase{"NtRequestFails", 2, true, false, true, kNtRoad, 1},
        RestartCase{"NtReleaseFails", 1, true, true, false, kNtRoad, 1},
        RestartCase{"NtRequestAndReleaseFail", 2, true, false, false, kNtRoad, 2}),
    [](const ::testing::TestParamInfo<RestartCase>& param) { return param.param.name; });

TEST(RestartComputer, WithoutPowerManagementSaysItCannotReboot) {
    platform::substitute::RecordingMessageBoxes messages;
    platform::Services services = platform::Platform();
    services.PowerManagement = nullptr;
    services.Messages = &messages;
    platform::ScopedServices scoped(services);
    Config.OsKind = 2;
    Lcid = 1033;

    RestartComputer();
    const auto boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can't reboot.");
}

}  // namespace
