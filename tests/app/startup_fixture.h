// Runs the start-up sequence against recording stages and the platform substitutes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup_stages.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "platform/substitute/fake_clock.h"
#include "platform/substitute/fake_events.h"
#include "platform/substitute/fake_system_info.h"
#include "platform/substitute/recording_message_boxes.h"
#include "platform/substitute/scripted_drive_bus.h"

// Records every stage call by name, answers from its fields, and keeps what the program-wide
// state looked like when the stage ran.
class RecordingStages final : public StartupStages {
public:
    // Answers.
    uint8_t configCode = 0;
    int noticeResult = 1;
    int aspiOpenResult = 1;
    uint32_t adapterCount = 2;
    uint32_t driveCount = 1;
    int mainResult = 2;
    // Run inside LoadConfiguration to fill Config as a real load would.
    std::function<void()> onLoad;

    // What was seen.
    std::vector<std::string> calls;
    std::string profileName;
    UpdateConfig configAtLoad{};
    // Config byte for byte, padding included, as the stage saw it.
    std::vector<unsigned char> configBytesAtLoad;
    uint32_t lcidAtLoad = 0;
    bool driveTableZeroAtLoad = false;
    uint32_t chunkCounterAtLoad = 1;
    uint8_t workerStateAtLoad = 1;
    uint16_t selectedDriveAtLoad = 1;
    uint8_t usePassThroughAtLoad = 1;
    uint8_t osKindAtRestart = 0xFF;
    uint32_t lcidAtRestart = 0;
    bool imageHeldAtRestart = false;
    size_t waitsBeforeRestart = 0;
    uint8_t driveCountAtMain = 0;
    const platform::substitute::FakeEventFactory* events = nullptr;

    void RestartComputer() override;
    uint8_t LoadConfiguration(const std::string& name) override;
    int RunNoticeDialog() override;
    int AspiOpen() override;
    uint32_t AspiAdapterCount() override;
    uint32_t DiscoverDrives() override;
    int RunMainDialog() override;
    void AspiClose() override;
};

class StartupTest : public ::testing::Test {
protected:
    StartupTest();
    ~StartupTest() override;

    // Runs InitInstance, checks that it returned false, and gives the exit status.
    int RunStartup();
    // The one box shown, checked to be a start-up error box; "" when none or several.
    std::string OnlyErrorText();

    platform::substitute::FakeSystemInfo system;
    platform::substitute::FakeEventFactory events;
    platform::substitute::FakeClock clock;
    platform::substitute::RecordingMessageBoxes messages;
    // The optical drives seen by the "No drive found." message; none unless a test adds one.
    platform::substitute::ScriptedDriveBus drives;
    RecordingStages stages;

private:
    platform::ScopedServices scoped_;
};
