#include "app/firmware_updater_app.h"

#include <cstdio>
#include <cstring>

#include "app/drive_access_text.h"
#include "app/startup_messages.h"
#include "config/image_buffers.h"
#include "config/program_values.h"
#include "config/reset.h"
#include "config/update_config.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/sleep.h"
#include "platform/system_info.h"
#include "scsi/drive_entry.h"
#include "scsi/exec_scsi_command.h"
#include "update/worker_state.h"

namespace {

constexpr int kIdOk = platform::kIdOk;
constexpr uint32_t kRestartDelayMs = 8000;

uint8_t OsKindFromVersion(const platform::OsVersion& version) {
    if (version.PlatformId != platform::kPlatformWin32Nt) return 0;
    return version.MajorVersion >= 5 ? 2 : 1;
}

// A name that begins with these three bytes is the temporary restart copy.
bool IsRestartCopyName(const std::string& exeName) {
    return exeName.size() >= 3 && exeName.compare(0, 3, "REB") == 0;
}

}  // namespace

// Every start-up failure is one error box with no owner; the program ends after it.
void CFirmwareUpdaterApp::ShowStartupError(const std::string& text) {
    endedOnError_ = true;
    platform::ShowMessage(text, kStartupErrorTitle, platform::MessageIcon::Stop,
                          platform::MessageButtons::Ok);
}

bool CFirmwareUpdaterApp::InitInstance() {
    // The OS family is part of the configuration's reset state, so it is asked first.
    platform::SystemInfo& system = *platform::Platform().System;
    const uint8_t osKind = OsKindFromVersion(system.QueryOsVersion());

    ResetUpdateConfig(osKind);
    std::memset(DriveTable, 0, sizeof DriveTable);
    ChunkCounter = 0;
    WorkerState = 0;
    UsePassThrough = 0;
    SelectedDrive = 0;
    DriveCount = 0;

    Lcid = system.UserDefaultLcid();
    endedOnError_ = false;

    const std::string exeName = platform::ExeNameFromPath(system.ExecutablePath());
    if (IsRestartCopyName(exeName))
        RunRestartOnly();
    else
        RunNormally(exeName);
    return false;
}

// The restart copy only waits for the program that started it to end, and reboots.
void CFirmwareUpdaterApp::RunRestartOnly() {
    SleepMs(kRestartDelayMs);
    stages_.RestartComputer();
}

void CFirmwareUpdaterApp::RunNormally(const std::string& exeName) {
    const bool japanese = UseJapanese();

    const uint8_t code = stages_.LoadConfiguration(platform::ProfileNameFromExeName(exeName));
    if (code != 0) {
        ShowStartupError(ConfigurationFailureText(code, japanese));
        return;
    }

    // The 9x family has no pass-through interface, whatever the configuration says.
    UsePassThrough = (Config.OsKind >= 1 && Config.NoPassThrough != 1) ? 1 : 0;

    if (Config.CautionKind != 0 && stages_.RunNoticeDialog() != kIdOk) return;

    if (UsePassThrough == 0) {
        if (stages_.AspiOpen() == 0) {
            ShowStartupError(StartupFailureText(StartupFailure::AspiLoadFailed, japanese));
            return;
        }
        if (stages_.AspiAdapterCount() == 0) {
            ShowStartupError(StartupFailureText(StartupFailure::AspiNotFound, japanese));
            return;
        }
    }

    const uint32_t found = stages_.DiscoverDrives();
    DriveCount = static_cast<uint8_t>(found);
    if (found == 0) {
        // An optical drive whose node this user may not open is no drive for discovery;
        // say which one and what gives access.
        ShowStartupError(StartupFailureText(StartupFailure::NoDriveFound, japanese) +
                         NoDriveFoundDetail(japanese));
        return;
    }

    const int mainResult = stages_.RunMainDialog();

    if (UsePassThrough == 0) stages_.AspiClose();
    if (Config.Image != nullptr) ReleaseMainImage();
    // With NoDeleteFile 0 the main dialog has already started the restart copy, which
    // reboots on its own; this process only ends.
    if (mainResult == kIdOk && Config.NoDeleteFile == 1) stages_.RestartComputer();
}
