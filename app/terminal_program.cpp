#include "app/terminal_program.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/display_check.h"
#include "app/drive_access_text.h"
#include "app/firmware_updater_app.h"
#include "app/notice_text.h"
#include "app/package_folder_files.h"
#include "app/startup_stages.h"
#include "app/terminal_message_boxes.h"
#include "app/terminal_update.h"
#include "config/load_configuration.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "drive/discovery.h"
#include "drive/drive_probe.h"
#include "platform/platform.h"
#include "scsi/aspi_transport.h"
#include "scsi/drive_entry.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The stages of start-up as the terminal modes run them: the same configuration, transport
// and discovery, the notice printed (and asked) on the terminal, and in place of the main
// dialog the list, the dry run or the update.
class TerminalStages final : public StartupStages {
public:
    explicit TerminalStages(const CommandLine& commandLine) : line_(commandLine) {}

    int ExitStatus() const { return status_; }

    void RestartComputer() override {}
    uint8_t LoadConfiguration(const std::string& profileName) override;
    int RunNoticeDialog() override;
    int AspiOpen() override { return ::AspiOpen(); }
    uint32_t AspiAdapterCount() override { return ::AspiAdapterCount(); }
    uint32_t DiscoverDrives() override;
    int RunMainDialog() override;
    void AspiClose() override { ::AspiClose(); }

private:
    const CommandLine& line_;
    int status_ = kExitFailure;  // until a mode reaches its successful end
};

uint8_t TerminalStages::LoadConfiguration(const std::string& profileName) {
    const uint8_t code = ::LoadConfiguration(profileName);
    // The dry run stands in for the drive on the pass-through path; the commands are the
    // same on both transports.
    if (code == 0 && line_.Mode == CommandMode::DryRun && Config.NoPassThrough == 1) {
        std::fprintf(stderr,
                     "zvfirm: the package asks for the ASPI manager; the dry run plans "
                     "through the pass-through path, with the same commands.\n");
        Config.NoPassThrough = 0;
    }
    return code;
}

int TerminalStages::RunNoticeDialog() {
    // The notice is what the user agrees to before a drive is changed; the list and the
    // dry run change nothing.
    if (line_.Mode != CommandMode::Update) return platform::kIdOk;
    const bool japanese = UseJapanese();
    const NoticeParts notice = MakeNoticeParts(Config, japanese);
    std::string text = notice.ProductLine + "\n" + notice.VersionLine + "\n\n" + notice.Notice;
    if (!notice.AspiLine.empty()) text += "\n\n" + notice.AspiLine;
    text += japanese ? "\n\n更新を続けますか？" : "\n\nDo you continue it ?";
    const int answer = platform::Platform().Messages->Show(
        text, notice.Title, platform::MessageIcon::Question, platform::MessageButtons::YesNo);
    return answer == platform::kIdYes ? platform::kIdOk : platform::kIdCancel;
}

uint32_t TerminalStages::DiscoverDrives() {
    const uint32_t count = ::DiscoverDrives();
    if (line_.Mode != CommandMode::List) return count;

    const bool japanese = UseJapanese();
    for (uint32_t index = 0; index < count; ++index)
        std::printf("%u  %.40s\n", index, DriveTable[index].DisplayText);
    std::fflush(stdout);

    // Why the other optical drives are not listed. With no drive at all, the "No drive
    // found." message names the nodes that cannot be opened itself.
    for (const ProbedDrive& drive : ProbeOpticalDrives(true)) {
        std::string text;
        if (drive.Finding == DriveFinding::Matches) {
            if (drive.Node.WriteError != 0 && !drive.Node.Path.empty())
                text = NoWriteAccessText(drive, japanese);
        } else if (drive.Finding != DriveFinding::NoAccess || count > 0) {
            text = NotListedText(drive, japanese);
        }
        if (!text.empty()) std::fprintf(stderr, "zvfirm: %s\n", text.c_str());
    }
    if (count > 0) status_ = kExitSuccess;
    return count;
}

int TerminalStages::RunMainDialog() {
    if (line_.Mode == CommandMode::List) return platform::kIdCancel;
    if (line_.Drive >= DriveCount) {
        std::fprintf(stderr, "zvfirm: there is no drive %d; zvfirm --list shows the drives.\n",
                     line_.Drive);
        status_ = kExitUsage;
        return platform::kIdCancel;
    }
    SelectedDrive = static_cast<uint16_t>(line_.Drive);
    if (RunTerminalUpdate(line_.Mode == CommandMode::DryRun)) status_ = kExitSuccess;
    // The terminal never restarts the computer; RunTerminalUpdate says when one is due.
    return platform::kIdCancel;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

int RunTerminalMode(const CommandLine& commandLine) {
    switch (commandLine.Mode) {
    case CommandMode::Help: std::fputs(UsageText().c_str(), stdout); return kExitSuccess;
    case CommandMode::Version: std::fputs(VersionText().c_str(), stdout); return kExitSuccess;
    case CommandMode::Dialogs: return kExitUsage;
    case CommandMode::List:
    case CommandMode::DryRun:
    case CommandMode::Update: break;
    }

    const bool japanese = platform::Platform().System->UserDefaultLcid() == kLcidJapanese;
    // A question is asked only of someone at a terminal; a script's input is not read.
    std::FILE* answers = isatty(STDIN_FILENO) ? stdin : nullptr;
    TerminalMessageBoxes boxes(stderr, answers, commandLine.Yes, japanese);
    platform::MessageBoxes* saved = platform::Platform().Messages;
    platform::Platform().Messages = &boxes;

    TerminalStages stages(commandLine);
    CFirmwareUpdaterApp app(stages);
    app.InitInstance();

    platform::Platform().Messages = saved;
    return stages.ExitStatus();
}

std::optional<int> StartFromCommandLine(int argc, const char* const* argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.Error.empty()) {
        std::fprintf(stderr, "zvfirm: %s\nTry zvfirm --help.\n", line.Error.c_str());
        return kExitUsage;
    }
    if (line.Mode == CommandMode::Help || line.Mode == CommandMode::Version)
        return RunTerminalMode(line);

    if (!line.PackageFolder.empty()) {
        if (!IsFolder(line.PackageFolder)) {
            std::fprintf(stderr, "zvfirm: %s: no such folder\n", line.PackageFolder.c_str());
            return kExitUsage;
        }
        // Lives for the rest of the run: every later file of the package is opened through it.
        static std::unique_ptr<PackageFolderFiles> packageFiles;
        packageFiles =
            std::make_unique<PackageFolderFiles>(*platform::Platform().Files, line.PackageFolder);
        platform::Platform().Files = packageFiles.get();
    }

    if (line.Mode != CommandMode::Dialogs) return RunTerminalMode(line);

    const bool japanese = platform::Platform().System->UserDefaultLcid() == kLcidJapanese;
    if (!DisplayAvailable([](const char* name) { return std::getenv(name); })) {
        std::fputs(NoDisplayText(japanese).c_str(), stderr);
        return kExitFailure;
    }
    return std::nullopt;
}
