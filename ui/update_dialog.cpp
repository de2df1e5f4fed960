#include "ui/update_dialog.h"

#include <algorithm>
#include <atomic>
#include <string>

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>

#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/events.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/sleep.h"
#include "scsi/drive_entry.h"
#include "scsi/failure_text.h"
#include "ui/color_label.h"
#include "ui/input_blocker.h"
#include "ui/shown_text.h"
#include "update/worker_state.h"

namespace {

constexpr uint32_t kTransferPollMs = 20;
constexpr uint32_t kFlashPollMs = 100;
constexpr uint32_t kFullBarPauseMs = 300;
constexpr uint32_t kCompletedPauseMs = 1000;
constexpr int kSecondaryTicks = 50;
constexpr int kSecondarySeconds = 5;

const char kErrorTitle[] = "Error - Upgrade Program";
const char kInformationTitle[] = "Information - Upgrade Program";

enum StatusText { kPrompt, kTransferring, kRunningText, kCompleted };

struct Texts {
    const char* english;
    const char* japanese;
    const char* In(bool inJapanese) const { return inJapanese ? japanese : english; }
};

const Texts kStatusTexts[] = {
    {" Please Select Drive and Click UPDATE Button.",
     " ドライブを選択し、UPDATEボタンを押して下さい。"},
    {" Wait... (Transferring data)", " しばらくお待ち下さい...(ファームウェアデータ転送中)"},
    {" Wait... (Running Firmware upgrade procedure)",
     " しばらくお待ち下さい...(ファームウェア更新中)"},
    {" Firmware update is completed.", " ファームウェア更新は完了しました。"},
};

const Texts kFailedBox{"Firmware update is failed.\n\n", "ファームウェア更新に失敗しました。\n\n"};
const Texts kCompletedBox{"Firmware update is completed.", "ファームウェア更新に成功しました。"};
const Texts kRestartQuestion{
    "Firmware update is completed.\n\nDo you want to restart your computer now?",
    "ファームウェア更新は成功しました。\n\n再起動しますか？"};
// When no worker thread can be started the worker never writes its own text.
const Texts kNoWorker{"The update could not be started: no thread for it.",
                      "更新を開始できませんでした（スレッドを作成できません）。"};

int ShowBox(const std::string& text, const char* title, platform::MessageIcon icon,
            platform::MessageButtons buttons) {
    return platform::ShowMessage(text, title, icon, buttons);
}

// The bar's range; an empty range would make Qt draw a busy indicator instead of a bar.
void SetRange(QProgressBar* bar, int top) { bar->setRange(0, std::max(1, top)); }

}  // namespace

CUpdateDlg::CUpdateDlg(UpdateActions actions, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)) {
    controls_ = ui::BuildDialog(*this, ui::UpdateDialogTemplate());
    driveList_ = controls_.As<QComboBox>(ui::kIdcDriveList);
    progress_ = controls_.As<QProgressBar>(ui::kIdcProgress);
    status_ = controls_.As<CColorLabel>(ui::kIdcStatusLine);
    updateButton_ = controls_.As<QPushButton>(ui::kIdcOk);
    exitButton_ = controls_.As<QPushButton>(ui::kIdcCancel);

    for (const int size : {32, 48, 64, 128, 256})
        icon_.addFile(QStringLiteral(":/zvfirm/icon-%1.png").arg(size), QSize(size, size));

    connect(updateButton_, &QPushButton::clicked, this, [this] {
        // Enter reaches this only through an enabled UPDATE button; a click that was
        // queued while it was disabled starts nothing either.
        if (updateButton_->isEnabled()) OnUpdate();
    });
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(driveList_, &QComboBox::currentIndexChanged, this, [this] { OnDriveSelChange(); });
}

int CUpdateDlg::DoModal() {
    OnInitDialog();
    const int result = exec();
    if (actions_.JoinWorker) actions_.JoinWorker();
    return result == QDialog::Accepted ? platform::kIdOk : platform::kIdCancel;
}

void CUpdateDlg::OnInitDialog() {
    setWindowIcon(icon_);
    if (UseJapanese()) status_->SetLabelFont(90, "ＭＳ Ｐゴシック");
    setWindowTitle(
        ui::ShownText(ui::FieldText(Config.AppTitle, sizeof Config.AppTitle), UseJapanese()));

    // Filling the list is not a selection by the user.
    {
        const QSignalBlocker quiet(driveList_);
        driveList_->clear();
        for (int index = 0; index < DriveCount && index < kDriveTableSize; ++index) {
            const DriveEntry& entry = DriveTable[index];
            driveList_->addItem(ui::ShownText(
                ui::FieldText(entry.DisplayText, sizeof entry.DisplayText), UseJapanese()));
        }
        driveList_->setCurrentIndex(0);
    }
    driveList_->setFocus(Qt::OtherFocusReason);
    SetStatus(kPrompt);
}

void CUpdateDlg::OnDriveSelChange() {
    const int index = driveList_->currentIndex();
    if (index < 0 || index >= kDriveTableSize) return;
    SelectedDrive = static_cast<uint16_t>(index);
    updateButton_->setEnabled(DriveTable[SelectedDrive].Updated == 0);
}

void CUpdateDlg::OnUpdate() {
    updateButton_->setEnabled(false);
    exitButton_->setEnabled(false);
    const int index = driveList_->currentIndex();
    if (index >= 0 && index < kDriveTableSize) {
        SelectedDrive = static_cast<uint16_t>(index);
        if (actions_.CheckBeforeUpdate() && RunUpdateWithProgress() == 1) {
            DriveTable[SelectedDrive].Updated = 1;
            const bool japanese = UseJapanese();
            if (Config.NoRestartPrompt == 1) {
                ShowBox(kCompletedBox.In(japanese), kInformationTitle,
                        platform::MessageIcon::Information, platform::MessageButtons::Ok);
            } else if (ShowBox(kRestartQuestion.In(japanese), kInformationTitle,
                               platform::MessageIcon::Information,
                               platform::MessageButtons::YesNo) == platform::kIdYes) {
                actions_.LaunchRestartCopy();
                // Ends the modal loop once this handler has returned.
                accept();
            }
        }
    }
    progress_->setValue(0);
    SetStatus(kPrompt);
    OnDriveSelChange();
    exitButton_->setEnabled(true);
}

int CUpdateDlg::RunUpdateWithProgress() {
    const uint32_t chunks = Config.BufferSize == 0 ? 0 : Config.FirmwareSize / Config.BufferSize;
    uint8_t state = kWorkerFailed;
    int seconds = 0;
    {
        const InputBlocker dropInput;
        ChunkCounter.store(1, std::memory_order_relaxed);
        WorkerState.store(kWorkerRunning, std::memory_order_relaxed);
        if (!actions_.StartWorker()) {
            LastErrorText = kNoWorker.In(UseJapanese());
            ChunkCounter.store(0, std::memory_order_relaxed);
            WorkerState.store(kWorkerFailed, std::memory_order_relaxed);
        } else {
            SetStatus(kTransferring);
            // The full count, also beyond 65535 chunks.
            SetRange(progress_, static_cast<int>(chunks));
            progress_->setValue(0);

            // Transfer: ChunkCounter counts the chunks sent.
            bool failed = false;
            uint32_t last = 0;
            for (;;) {
                const uint32_t counter = ChunkCounter.load(std::memory_order_acquire);
                if (counter == 0) {
                    // The worker also clears the counter after a success; a quick one may
                    // come before this loop has seen the counter reach the end.
                    failed = WorkerState.load(std::memory_order_acquire) != kWorkerDone;
                    break;
                }
                if (counter >= chunks) break;
                if (counter != last) {
                    last = counter;
                    progress_->setValue(static_cast<int>(counter - 1));
                }
                Repaint();
                SleepMs(kTransferPollMs);
            }

            if (!failed) {
                // Flash: the drive programs its flash; the bar moves with time.
                progress_->setValue(progress_->maximum());
                Repaint();
                SleepMs(kFullBarPauseMs);
                SetStatus(kRunningText);
                seconds = Config.TwiceUpdate == 1
                              ? static_cast<uint16_t>(2 * Config.WaitSeconds + 5)
                              : Config.WaitSeconds;
                SetRange(progress_, seconds * 10);
                progress_->setValue(0);
                for (int tick = 1;; ++tick) {
                    if (tick < seconds * 10 - 2) AdvanceBar();
                    state = WorkerState.load(std::memory_order_acquire);
                    if (state != kWorkerRunning) break;
                    Repaint();
                    SleepMs(kFlashPollMs);
                }

                // The secondary image.
                if (state == kWorkerSecondaryImage) {
                    SetStatus(kRunningText);
                    SetRange(progress_, kSecondaryTicks);
                    progress_->setValue(0);
                    seconds = kSecondarySeconds;
                    for (int tick = 1;; ++tick) {
                        if (tick < kSecondaryTicks - 2) AdvanceBar();
                        state = WorkerState.load(std::memory_order_acquire);
                        if (state != kWorkerSecondaryImage) break;
                        Repaint();
                        SleepMs(kFlashPollMs);
                    }
                }

                if (state != kWorkerFailed) {
                    progress_->setValue(progress_->maximum());
                    SetStatus(kCompleted);
                    Repaint();
                    SleepMs(kCompletedPauseMs);
                    return 1;
                }
            }
        }
    }
    return Failure();
}

// The bar and the status line stay as they are; OnUpdate resets them.
int CUpdateDlg::Failure() {
    ShowBox(std::string(kFailedBox.In(UseJapanese())) + LastErrorText, kErrorTitle,
            platform::MessageIcon::Stop, platform::MessageButtons::Ok);
    return 0;
}

void CUpdateDlg::Repaint() {
    repaint();
    InputBlocker::ProcessWaitingEvents();
}

void CUpdateDlg::SetStatus(int text) {
    status_->setText(QString::fromUtf8(kStatusTexts[text].In(UseJapanese())));
}

void CUpdateDlg::AdvanceBar() {
    progress_->setValue(std::min(progress_->value() + 1, progress_->maximum()));
}
