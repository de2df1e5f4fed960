#include "app/terminal_update.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <pthread.h>
#include <unistd.h>

#include "app/dry_run_services.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/platform.h"
#include "scsi/drive_entry.h"
#include "scsi/failure_text.h"
#include "update/pre_update_checks.h"
#include "update/update_worker.h"
#include "update/worker_state.h"

namespace {

constexpr int kBarWidth = 40;
constexpr auto kTransferPoll = std::chrono::milliseconds(20);
constexpr auto kFlashPoll = std::chrono::milliseconds(100);

const char* const kErrorTitle = "Error - Upgrade Program";
const char* const kInformationTitle = "Information - Upgrade Program";

struct Texts {
    const char* transferring;
    const char* flashing;
    const char* completed;
    const char* failed;
    const char* restart;
    const char* interrupted;
    const char* notStarted;
};

const Texts kEnglish = {
    "Wait... (Transferring data)",
    "Wait... (Running Firmware upgrade procedure)",
    "Firmware update is completed.",
    "Firmware update is failed.\n\n",
    "Restart the computer to use the new firmware.",
    "zvfirm: the drive's firmware is being written and cannot be interrupted; stopping now "
    "could leave the drive unusable. zvfirm ends when the drive is safe.",
    "zvfirm: the update could not be started; nothing was sent to the drive.",
};

const Texts kJapanese = {
    "しばらくお待ち下さい...(ファームウェアデータ転送中)",
    "しばらくお待ち下さい...(ファームウェア更新中)",
    "ファームウェア更新は完了しました。",
    "ファームウェア更新に失敗しました。\n\n",
    "新しいファームウェアを使うには、コンピューターを再起動して下さい。",
    "zvfirm: ドライブのファームウェアを書き込み中のため中断できません。今止めるとドライブが使えなく"
    "なるおそれがあります。ドライブが安全になると zvfirm は終了します。",
    "zvfirm: 更新を開始できませんでした。ドライブには何も送っていません。",
};

// The signals a user or the system sends to end a program. While the firmware is written
// they stay blocked in this thread and in the worker it starts (a thread inherits the mask),
// and are taken from the pending set here with a refusal.
class RefusedSignals {
public:
    RefusedSignals() {
        sigemptyset(&set_);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP}) sigaddset(&set_, signal);
        pthread_sigmask(SIG_BLOCK, &set_, &saved_);
    }
    ~RefusedSignals() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    RefusedSignals(const RefusedSignals&) = delete;
    RefusedSignals& operator=(const RefusedSignals&) = delete;

    // True when one of them arrived since the last call (it is consumed).
    bool Arrived() {
        const timespec now{0, 0};
        bool arrived = false;
        while (sigtimedwait(&set_, nullptr, &now) > 0) arrived = true;
        return arrived;
    }

private:
    sigset_t set_;
    sigset_t saved_;
};

// A progress bar redrawn in place on a terminal; elsewhere a line per phase and per tenth.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* out) : out_(out), terminal_(isatty(fileno(out)) != 0) {}

    void Show(const char* phase, unsigned percent) {
        percent = std::min(percent, 100u);
        if (terminal_) {
            const int filled = static_cast<int>(percent * kBarWidth / 100);
            std::fprintf(out_, "\r[%s%s] %3u%% %s\033[K", std::string(filled, '#').c_str(),
                         std::string(kBarWidth - filled, '-').c_str(), percent, phase);
            drawn_ = true;
        } else if (phase != lastPhase_ || percent / 10 != lastTenth_) {
            std::fprintf(out_, "%3u%% %s\n", percent, phase);
        }
        lastPhase_ = phase;
        lastTenth_ = percent / 10;
        std::fflush(out_);
    }
    // Ends the line of the bar before other text is written.
    void Break() {
        if (drawn_) std::fputc('\n', out_);
        drawn_ = false;
        std::fflush(out_);
    }

private:
    std::FILE* out_;
    bool terminal_;
    bool drawn_ = false;
    const char* lastPhase_ = nullptr;
    unsigned lastTenth_ = 11;
};

void ShowBox(const std::string& text, const char* title, platform::MessageIcon icon) {
    platform::Platform().Messages->Show(text, title, icon, platform::MessageButtons::Ok);
}

uint32_t ChunkCount() {
    return Config.BufferSize == 0 ? 0 : Config.FirmwareSize / Config.BufferSize;
}

// How long the flash phase is expected to last, for the bar only: the worker's own waits.
double ExpectedFlashMs() {
    const double wait = std::max<double>(Config.WaitSeconds * 1000.0, 3000.0);
    return Config.TwiceUpdate == 1 ? 2 * wait + 200 : wait;
}

// Watches the worker like the main dialog's monitor: ChunkCounter during the transfer,
// WorkerState afterwards; refuses the signals that arrive meanwhile. True on success.
bool MonitorWorker(const Texts& texts, RefusedSignals& refused) {
    const uint32_t chunks = ChunkCount();
    ProgressLine progress(stderr);
    const auto refuse = [&] {
        if (!refused.Arrived()) return;
        progress.Break();
        std::fprintf(stderr, "%s\n", texts.interrupted);
    };

    bool failed = false;
    bool done = false;
    for (;;) {
        refuse();
        const uint32_t counter = ChunkCounter.load(std::memory_order_acquire);
        // Success ends with WorkerState 2 and then ChunkCounter 0: a 0 seen after a 2 is no
        // failure.
        if (WorkerState.load(std::memory_order_acquire) == kWorkerDone) {
            done = true;
            break;
        }
        if (counter == 0) {
            failed = true;
            break;
        }
        if (counter >= chunks) break;
        progress.Show(texts.transferring,
                      static_cast<unsigned>(uint64_t{counter - 1} * 100 / chunks));
        std::this_thread::sleep_for(kTransferPoll);
    }

    const auto flashStart = std::chrono::steady_clock::now();
    while (!failed && !done) {
        refuse();
        const uint8_t state = WorkerState.load(std::memory_order_acquire);
        if (state == kWorkerFailed) {
            failed = true;
            break;
        }
        if (state != kWorkerRunning && state != kWorkerSecondaryImage) break;
        const double elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - flashStart)
                .count();
        progress.Show(texts.flashing,
                      static_cast<unsigned>(std::min(99.0, elapsed * 100 / ExpectedFlashMs())));
        std::this_thread::sleep_for(kFlashPoll);
    }
    JoinUpdateWorker();
    refuse();

    if (failed) {
        progress.Break();
        ShowBox(texts.failed + LastErrorText, kErrorTitle, platform::MessageIcon::Stop);
        return false;
    }
    progress.Show(texts.flashing, 100);
    progress.Break();
    std::string text = texts.completed;
    // The terminal never restarts the computer by itself.
    if (Config.NoRestartPrompt != 1) text += std::string("\n") + texts.restart;
    ShowBox(text, kInformationTitle, platform::MessageIcon::Information);
    return true;
}

bool RunUpdate(const Texts& texts) {
    if (!CheckBeforeUpdate()) return false;
    // Blocked before the worker starts, so that it inherits the mask.
    RefusedSignals refused;
    ChunkCounter.store(1, std::memory_order_relaxed);
    WorkerState.store(kWorkerRunning, std::memory_order_relaxed);
    if (!StartUpdateWorker()) {
        std::fprintf(stderr, "%s\n", texts.notStarted);
        return false;
    }
    if (!MonitorWorker(texts, refused)) return false;
    DriveTable[SelectedDrive].Updated = 1;
    return true;
}

// The dry run writes no sleep-and-shutdown hold: nothing is written to the drive.
class NoHoldNeeded final : public platform::Power {
public:
    bool CanReboot() override { return false; }
    bool Reboot() override { return false; }
    std::unique_ptr<platform::PowerHold> HoldSleepAndShutdown(const std::string&) override {
        return std::make_unique<platform::PowerHold>();
    }
};

bool RunDryRun(bool japanese) {
    DryRunPlan plan;
    NoHoldNeeded noHold;
    platform::Services services = platform::Platform();
    DryRunDriveBus drives(*services.Drives, plan,
                          std::string(Config.EpsVersion, strnlen(Config.EpsVersion, 7)));
    DryRunEvents events(*services.Events, plan);
    services.Drives = &drives;
    services.Events = &events;
    services.PowerManagement = &noHold;

    bool started = false;
    bool succeeded = false;
    {
        platform::ScopedServices scoped(services);
        if (CheckBeforeUpdate()) {
            ChunkCounter.store(1, std::memory_order_relaxed);
            WorkerState.store(kWorkerRunning, std::memory_order_relaxed);
            started = StartUpdateWorker();
            JoinUpdateWorker();
            succeeded = started && WorkerState.load(std::memory_order_acquire) == kWorkerDone;
        }
    }

    std::printf("Dry run for drive %u  %.40s\n", unsigned{SelectedDrive},
                DriveTable[SelectedDrive].DisplayText);
    std::printf(
        "\"sent\": a command that only reads, sent to the drive; \"not sent\": a command the\n"
        "update sends, answered here and not sent; \"wait\": a pause of the update.\n");
    for (const PlannedStep& step : plan.Steps()) std::printf("%s\n", DescribeStep(step).c_str());
    std::fflush(stdout);

    if (!started) {
        std::fprintf(stderr, japanese ? "zvfirm: 更新は開始されません。\n"
                                      : "zvfirm: the update would not start.\n");
    } else if (succeeded) {
        std::fprintf(stderr, japanese
                                 ? "zvfirm: この計画で更新は最後まで進みます。\n"
                                 : "zvfirm: the update would run to its end with this plan.\n");
    } else {
        std::fprintf(stderr,
                     japanese ? "zvfirm: 更新はここで失敗します: %s\n"
                              : "zvfirm: the update would fail here: %s\n",
                     LastErrorText.c_str());
    }
    return succeeded;
}

}  // namespace

bool RunTerminalUpdate(bool dryRun) {
    const bool japanese = UseJapanese();
    if (dryRun) return RunDryRun(japanese);
    return RunUpdate(japanese ? kJapanese : kEnglish);
}
