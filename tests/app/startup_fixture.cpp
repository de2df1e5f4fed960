#include "startup_fixture.h"

#include <cstring>

#include "app/firmware_updater_app.h"
#include "app/startup_messages.h"
#include "config/image_buffers.h"
#include "config/program_values.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "update/worker_state.h"

namespace {

platform::Services Substitutes(platform::substitute::FakeSystemInfo& system,
                               platform::substitute::FakeEventFactory& events,
                               platform::substitute::FakeClock& clock,
                               platform::substitute::RecordingMessageBoxes& messages,
                               platform::substitute::ScriptedDriveBus& drives) {
    platform::Services services = platform::Platform();
    services.System = &system;
    services.Events = &events;
    services.Time = &clock;
    services.Messages = &messages;
    services.Drives = &drives;
    return services;
}

// Leaves traces of an earlier run everywhere start-up must reset.
void DirtyProgramState() {
    std::memset(&Config, 0x5A, sizeof Config);
    Config.Image = nullptr;
    Config.EpsImage = nullptr;
    std::memset(DriveTable, 0xA5, sizeof DriveTable);
    ChunkCounter = 77;
    WorkerState = 3;
    UsePassThrough = 9;
    SelectedDrive = 42;
    DriveCount = 13;
    Lcid = 0;
}

bool DriveTableIsZero() {
    const auto* bytes = reinterpret_cast<const unsigned char*>(DriveTable);
    for (size_t i = 0; i < sizeof DriveTable; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace

void RecordingStages::RestartComputer() {
    calls.push_back("RestartComputer");
    osKindAtRestart = Config.OsKind;
    lcidAtRestart = Lcid;
    imageHeldAtRestart = Config.Image != nullptr;
    if (events != nullptr) waitsBeforeRestart = events->Waits().size();
}

uint8_t RecordingStages::LoadConfiguration(const std::string& name) {
    calls.push_back("LoadConfiguration");
    profileName = name;
    configAtLoad = Config;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&Config);
    configBytesAtLoad.assign(bytes, bytes + sizeof Config);
    lcidAtLoad = Lcid;
    driveTableZeroAtLoad = DriveTableIsZero();
    chunkCounterAtLoad = ChunkCounter;
    workerStateAtLoad = WorkerState;
    selectedDriveAtLoad = SelectedDrive;
    usePassThroughAtLoad = UsePassThrough;
    if (onLoad) onLoad();
    return configCode;
}

int RecordingStages::RunNoticeDialog() {
    calls.push_back("RunNoticeDialog");
    return noticeResult;
}

int RecordingStages::AspiOpen() {
    calls.push_back("AspiOpen");
    return aspiOpenResult;
}

uint32_t RecordingStages::AspiAdapterCount() {
    calls.push_back("AspiAdapterCount");
    return adapterCount;
}

uint32_t RecordingStages::DiscoverDrives() {
    calls.push_back("DiscoverDrives");
    return driveCount;
}

int RecordingStages::RunMainDialog() {
    calls.push_back("RunMainDialog");
    driveCountAtMain = DriveCount;
    return mainResult;
}

void RecordingStages::AspiClose() { calls.push_back("AspiClose"); }

StartupTest::StartupTest() : scoped_(Substitutes(system, events, clock, messages, drives)) {
    DirtyProgramState();
    stages.events = &events;
    // A successful load holds the main image, as the real one does.
    stages.onLoad = [] { Config.Image = AllocateImageBuffer(64); };
}

StartupTest::~StartupTest() {
    // Early ends leave the images to the end of the process; a test process goes on.
    ReleaseMainImage();
    ReleaseEpsImage();
}

int StartupTest::RunStartup() {
    CFirmwareUpdaterApp app(stages);
    EXPECT_FALSE(app.InitInstance());
    return app.ExitStatus();
}

std::string StartupTest::OnlyErrorText() {
    const auto boxes = messages.Boxes();
    if (boxes.size() != 1) {
        ADD_FAILURE() << boxes.size() << " message boxes where one was expected";
        return "";
    }
    EXPECT_EQ(boxes[0].title, "Error - Upgrade Program");
    EXPECT_EQ(boxes[0].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::Ok);
    return boxes[0].text;
}
