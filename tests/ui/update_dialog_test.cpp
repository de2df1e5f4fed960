// The main dialog and its progress monitor on the offscreen platform, with a scripted
// worker in place of the real one and message boxes answered by the test.
#include <algorithm>
#include <optional>

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "platform/platform.h"
#include "platform/substitute/recording_message_boxes.h"
#include "scripted_worker.h"
#include "scsi/failure_text.h"
#include "ui/color_label.h"
#include "ui/update_dialog.h"
#include "ui_state.h"

namespace {

constexpr uint32_t kEnglish = 1033;
constexpr uint32_t kJapanese = 1041;

using Step = ScriptedWorker::Step;
using platform::substitute::RecordingMessageBoxes;

// What the dialog showed at one wait of the monitor.
struct Seen {
    uint32_t timeoutMs;
    int barMax;
    int barValue;
    QString status;
    bool updateEnabled;
    bool exitEnabled;
};

// A dialog with a scripted worker, recorded boxes and counted actions.
class DialogRig {
public:
    DialogRig(std::vector<Step> script, bool workerStarts = true)
        : worker_(std::move(script)), services_(Services()) {
        actions_.CheckBeforeUpdate = [this] {
            ++checks;
            return checkResult;
        };
        actions_.StartWorker = [this, workerStarts] {
            ++starts;
            return workerStarts && worker_.Start();
        };
        actions_.JoinWorker = [this] { ++joins; };
        actions_.LaunchRestartCopy = [this] { ++restarts; };
        dialog = std::make_unique<CUpdateDlg>(actions_);
        worker_.onWait = [this](uint32_t timeoutMs) {
            seen.push_back(Seen{timeoutMs, dialog->Progress()->maximum(),
                                dialog->Progress()->value(), dialog->StatusLine()->text(),
                                dialog->UpdateButton()->isEnabled(),
                                dialog->ExitButton()->isEnabled()});
            if (onWait) onWait(timeoutMs);
        };
    }

    ScriptedWorker& Worker() { return worker_; }

    std::unique_ptr<CUpdateDlg> dialog;
    RecordingMessageBoxes boxes;
    std::vector<Seen> seen;
    std::function<void(uint32_t)> onWait;
    bool checkResult = true;
    int checks = 0, starts = 0, joins = 0, restarts = 0;

private:
    platform::Services Services() {
        platform::Services services = platform::Platform();
        services.Events = &worker_;
        services.Messages = &boxes;
        return services;
    }

    ScriptedWorker worker_;
    platform::ScopedServices services_;
    UpdateActions actions_;
};

void SetUpDrives(int count) {
    DriveCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i)
        SetField(DriveTable[i].DisplayText, "ZORVANT DVDR   ZV-314K  1.0" + std::to_string(i));
}

// ---------------------------------------------------------------- the monitor's phases

struct MonitorCase {
    const char* name;
    uint32_t firmwareSize;
    uint32_t bufferSize;
    uint8_t waitSeconds;
    uint8_t twiceUpdate;
    std::vector<Step> script;
    bool workerStarts;
    // Expected.
    int result;
    const char* timeline;
    std::vector<int> transferPositions;  // the bar during the transfer polls, in order
    int transferTop;                     // the bar's range then (0: no transfer poll)
    int flashTop;                        // the bar's range during the flash polls (0: none)
    int flashStop;                       // the furthest the bar got during them
    int secondaryStop;                   // the furthest in the secondary phase (-1: none)
    const char* failureText;             // after the failure prefix; nullptr: no box
};

const char kSense[] = "Sense Key: 0x04 ASC: 0x44 ASCQ: 0x00";

// clang-format off
const MonitorCase kMonitorCases[] = {
    {"four_chunks", 4 * 8192, 8192, 15, 0,
     {{2, 1, 1}, {2, 2, 1}, {2, 3, 1}, {5, 4, 1}, {0, 0, 2}}, true,
     1, "20*6 300 100*4 1000", {0, 0, 1, 1, 2, 2}, 4, 150, 4, -1, nullptr},
    {"one_chunk_goes_straight_to_the_flash", 8192, 8192, 15, 0,
     {{3, 1, 1}, {0, 0, 2}}, true,
     1, "300 100*2 1000", {}, 0, 150, 2, -1, nullptr},
    {"no_whole_chunk", 4096, 8192, 15, 0,
     {{3, 1, 1}, {0, 0, 2}}, true,
     1, "300 100*2 1000", {}, 0, 150, 2, -1, nullptr},
    {"quick_success_before_the_counter_was_seen_at_the_end", 4 * 8192, 8192, 0, 0,
     {{1, 1, 1}, {0, 0, 2}}, true,
     1, "20 300 1000", {0}, 4, 0, 0, -1, nullptr},
    {"failure_during_the_transfer", 4 * 8192, 8192, 15, 0,
     {{2, 1, 1}, {0, 0, 1, kSense}}, true,
     0, "20*2", {0, 0}, 4, 0, 0, -1, kSense},
    {"failure_after_the_transfer", 2 * 8192, 8192, 15, 0,
     {{1, 1, 1}, {3, 2, 1}, {0, 2, 0, kSense}}, true,
     0, "20 300 100*2", {0}, 2, 150, 2, -1, kSense},
    {"secondary_image", 2 * 8192, 8192, 15, 0,
     {{1, 1, 1}, {3, 2, 1}, {60, 2, 4}, {0, 0, 2}}, true,
     1, "20 300 100*62 1000", {0}, 2, 150, 2, 47, nullptr},
    {"failure_during_the_secondary_image", 2 * 8192, 8192, 15, 0,
     {{1, 1, 1}, {3, 2, 1}, {3, 2, 4}, {0, 2, 0, kSense}}, true,
     0, "20 300 100*5", {0}, 2, 150, 2, 3, kSense},
    {"flash_range_150_stops_at_147", 8192, 8192, 15, 0,
     {{200, 1, 1}, {0, 0, 2}}, true,
     1, "300 100*199 1000", {}, 0, 150, 147, -1, nullptr},
    {"twice_update_range_350_stops_at_347", 8192, 8192, 15, 1,
     {{400, 1, 1}, {0, 0, 2}}, true,
     1, "300 100*399 1000", {}, 0, 350, 347, -1, nullptr},
    {"more_than_65535_chunks", 70000, 1, 15, 0,
     {{1, 1, 1}, {1, 40000, 1}, {2, 70000, 1}, {0, 0, 2}}, true,
     1, "20*2 300 100 1000", {0, 39999}, 70000, 150, 1, -1, nullptr},
    {"worker_cannot_start", 4 * 8192, 8192, 15, 0,
     {}, false,
     0, "", {}, 0, 0, 0, -1, "The update could not be started: no thread for it."},
};
// clang-format on

void PrintTo(const MonitorCase& c, std::ostream* out) { *out << c.name; }

class MonitorTest : public ::testing::TestWithParam<MonitorCase> {};

TEST_P(MonitorTest, FollowsTheWorkerThroughItsPhases) {
    const MonitorCase& c = GetParam();
    ResetProgramState(kEnglish);
    SetUpDrives(1);
    Config.FirmwareSize = c.firmwareSize;
    Config.BufferSize = c.bufferSize;
    Config.WaitSeconds = c.waitSeconds;
    Config.TwiceUpdate = c.twiceUpdate;
    LastErrorText.clear();

    DialogRig rig(c.script, c.workerStarts);
    rig.dialog->OnInitDialog();
    rig.dialog->show();
    EXPECT_EQ(rig.dialog->RunUpdateWithProgress(), c.result);
    EXPECT_EQ(rig.Worker().Timeline(), c.timeline);

    std::vector<int> transferPositions;
    int transferTop = 0, flashTop = 0, flashStop = 0, secondaryStop = -1;
    for (const Seen& s : rig.seen) {
        if (s.timeoutMs == 20) {
            transferPositions.push_back(s.barValue);
            transferTop = s.barMax;
            EXPECT_EQ(s.status, QStringLiteral(" Wait... (Transferring data)"));
        } else if (s.timeoutMs == 300) {
            EXPECT_EQ(s.barValue, s.barMax) << "bar full before the flash";
        } else if (s.timeoutMs == 100) {
            EXPECT_EQ(s.status, QStringLiteral(" Wait... (Running Firmware upgrade procedure)"));
            if (s.barMax == 50 && flashTop != 0 && c.flashTop != 50) {
                secondaryStop = std::max(secondaryStop, s.barValue);
            } else {
                flashTop = s.barMax;
                flashStop = std::max(flashStop, s.barValue);
            }
        } else if (s.timeoutMs == 1000) {
            EXPECT_EQ(s.status, QStringLiteral(" Firmware update is completed."));
            EXPECT_EQ(s.barValue, s.barMax) << "bar full at the end";
        }
    }
    EXPECT_EQ(transferPositions, c.transferPositions);
    EXPECT_EQ(transferTop, c.transferTop);
    EXPECT_EQ(flashTop, c.flashTop);
    EXPECT_EQ(flashStop, c.flashStop);
    EXPECT_EQ(secondaryStop, c.secondaryStop);
    // Buttons are the caller's business; the monitor only shows a failure.
    const auto boxes = rig.boxes.Boxes();
    if (c.failureText == nullptr) {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::string("Firmware update is failed.\n\n") + c.failureText);
        EXPECT_EQ(boxes[0].title, "Error - Upgrade Program");
        EXPECT_EQ(boxes[0].icon, platform::MessageIcon::Stop);
        EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::Ok);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, MonitorTest, ::testing::ValuesIn(kMonitorCases),
                         [](const ::testing::TestParamInfo<MonitorCase>& param) {
                             return std::string(param.param.name);
                         });

// ---------------------------------------------------------------- the dialog around it

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState(kEnglish);
        SetUpDrives(3);
        SetField(Config.AppTitle, "ZV-314K Firmware Update 1.02");
        Config.FirmwareSize = 2 * 8192;
        Config.BufferSize = 8192;
        Config.WaitSeconds = 1;
    }
    static std::vector<Step> Success() { return {{1, 1, 1}, {2, 2, 1}, {0, 0, 2}}; }
    static std::vector<Step> Failed() { return {{1, 1, 1}, {0, 0, 1, kSense}}; }
};

TEST_F(UpdateDialogTest, InitialisationInBothLanguages) {
    for (const uint32_t lcid : {kEnglish, kJapanese}) {
        SCOPED_TRACE(lcid);
        Lcid = lcid;
        SelectedDrive = 5;
        DialogRig rig(Success());
        rig.dialog->OnInitDialog();
        rig.dialog->show();
        QApplication::setActiveWindow(rig.dialog.get());
        EXPECT_EQ(rig.dialog->windowTitle(), QStringLiteral("ZV-314K Firmware Update 1.02"));
        EXPECT_FALSE(rig.dialog->windowIcon().isNull());
        ASSERT_EQ(rig.dialog->DriveList()->count(), 3);
        EXPECT_EQ(rig.dialog->DriveList()->itemText(2),
                  QStringLiteral("ZORVANT DVDR   ZV-314K  1.02"));
        EXPECT_EQ(rig.dialog->DriveList()->currentIndex(), 0);
        EXPECT_EQ(SelectedDrive, 5);  // not set until the user chooses or updates
        EXPECT_TRUE(rig.dialog->UpdateButton()->isEnabled());
        EXPECT_TRUE(rig.dialog->ExitButton()->isEnabled());
        EXPECT_EQ(rig.dialog->focusWidget(), rig.dialog->DriveList());
        const CColorLabel* status = rig.dialog->StatusLine();
        if (lcid == kJapanese) {
            EXPECT_EQ(status->text(),
                      QString::fromUtf8(" ドライブを選択し、UPDATEボタンを押して下さい。"));
            ASSERT_NE(status->OwnFont(), nullptr);
            EXPECT_EQ(status->OwnFont()->family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
        } else {
            EXPECT_EQ(status->text(),
                      QStringLiteral(" Please Select Drive and Click UPDATE Button."));
            EXPECT_EQ(status->OwnFont(), nullptr);
        }
        // No colours of its own: the dialog's.
        EXPECT_EQ(status->OnReflectedCtlColor().brush, nullptr);
    }
}

TEST_F(UpdateDialogTest, OutcomesOfAnUpdate) {
    struct Case {
        const char* name;
        uint32_t lcid;
        std::vector<Step> script;
        bool checkResult;
        uint8_t noRestartPrompt;
        int answer;  // to the restart question
        // Expected.
        int starts;
        std::vector<std::string> boxTexts;
        uint8_t updated;
        bool updateEnabledAfter;
        int restarts;
        bool accepted;
    };
    const std::string completedQuestion =
        "Firmware update is completed.\n\nDo you want to restart your computer now?";
    // clang-format off
    const Case cases[] = {
        {"success, no restart", kEnglish, Success(), true, 0, platform::kIdNo, 1,
         {completedQuestion}, 1, false, 0, false},
        {"success, restart", kEnglish, Success(), true, 0, platform::kIdYes, 1,
         {completedQuestion}, 1, false, 1, true},
        {"success without the question", kEnglish, Success(), true, 1, 0, 1,
         {"Firmware update is completed."}, 1, false, 0, false},
        {"failure", kEnglish, Failed(), true, 0, 0, 1,
         {std::string("Firmware update is failed.\n\n") + kSense}, 0, true, 0, false},
        {"checks refuse", kEnglish, Success(), false, 0, 0, 0, {}, 0, true, 0, false},
        {"success in japanese", kJapanese, Success(), true, 0, platform::kIdNo, 1,
         {"ファームウェア更新は成功しました。\n\n再起動しますか？"}, 1, false, 0, false},
        {"success in japanese without the question", kJapanese, Success(), true, 1, 0, 1,
         {"ファームウェア更新に成功しました。"}, 1, false, 0, false},
        {"failure in japanese", kJapanese, Failed(), true, 0, 0, 1,
         {std::string("ファームウェア更新に失敗しました。\n\n") + kSense}, 0, true, 0, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lcid = c.lcid;
        Config.NoRestartPrompt = c.noRestartPrompt;
        std::memset(DriveTable, 0, sizeof DriveTable);
        SetUpDrives(3);
        DialogRig rig(c.script);
        rig.checkResult = c.checkResult;
        if (c.answer != 0) rig.boxes.QueueAnswer(c.answer);
        rig.dialog->OnInitDialog();
        rig.dialog->show();
        rig.dialog->DriveList()->setCurrentIndex(1);
        rig.dialog->UpdateButton()->click();

        EXPECT_EQ(rig.checks, 1);
        EXPECT_EQ(rig.starts, c.starts);
        EXPECT_EQ(SelectedDrive, 1);
        std::vector<std::string> texts;
        for (const auto& box : rig.boxes.Boxes()) texts.push_back(box.text);
        EXPECT_EQ(texts, c.boxTexts);
        for (const auto& box : rig.boxes.Boxes()) {
            if (box.icon == platform::MessageIcon::Information) {
                EXPECT_EQ(box.title, "Information - Upgrade Program");
                EXPECT_EQ(box.buttons, c.noRestartPrompt == 1 ? platform::MessageButtons::Ok
                                                              : platform::MessageButtons::YesNo);
            }
        }
        EXPECT_EQ(DriveTable[1].Updated, c.updated);
        EXPECT_EQ(DriveTable[0].Updated, 0);
        EXPECT_EQ(rig.restarts, c.restarts);
        EXPECT_EQ(rig.dialog->result() == QDialog::Accepted, c.accepted);
        // Whatever the outcome: the bar empty, the prompt, EXIT back, UPDATE per the drive.
        EXPECT_EQ(rig.dialog->Progress()->value(), 0);
        EXPECT_EQ(rig.dialog->StatusLine()->text(),
                  QString::fromUtf8(c.lcid == kJapanese
                                        ? " ドライブを選択し、UPDATEボタンを押して下さい。"
                                        : " Please Select Drive and Click UPDATE Button."));
        EXPECT_TRUE(rig.dialog->ExitButton()->isEnabled());
        EXPECT_EQ(rig.dialog->UpdateButton()->isEnabled(), c.updateEnabledAfter);
        // During the update both buttons were disabled, and the status spoke Japanese
        // when the dialog did.
        for (const Seen& s : rig.seen) {
            EXPECT_FALSE(s.updateEnabled);
            EXPECT_FALSE(s.exitEnabled);
            if (c.lcid != kJapanese) continue;
            const char* expected = s.timeoutMs == 20 || s.timeoutMs == 300
                                       ? " しばらくお待ち下さい...(ファームウェアデータ転送中)"
                                   : s.timeoutMs == 1000
                                       ? " ファームウェア更新は完了しました。"
                                       : " しばらくお待ち下さい...(ファームウェア更新中)";
            EXPECT_EQ(s.status, QString::fromUtf8(expected)) << s.timeoutMs;
        }
    }
}

TEST_F(UpdateDialogTest, UpdatedDriveKeepsUpdateDisabledAndOthersMayStillBeUpdated) {
    DialogRig rig({{1, 1, 1}, {2, 2, 1}, {0, 0, 2}});
    rig.boxes.QueueAnswer(platform::kIdNo);
    rig.dialog->OnInitDialog();
    rig.dialog->show();
    rig.dialog->UpdateButton()->click();
    ASSERT_EQ(DriveTable[0].Updated, 1);
    EXPECT_FALSE(rig.dialog->UpdateButton()->isEnabled());

    // Enter while UPDATE is disabled starts nothing.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(rig.dialog.get(), &enter);
    EXPECT_EQ(rig.checks, 1);

    rig.dialog->DriveList()->setCurrentIndex(2);
    EXPECT_EQ(SelectedDrive, 2);
    EXPECT_TRUE(rig.dialog->UpdateButton()->isEnabled());
    rig.dialog->DriveList()->setCurrentIndex(0);
    EXPECT_EQ(SelectedDrive, 0);
    EXPECT_FALSE(rig.dialog->UpdateButton()->isEnabled());
    rig.dialog->DriveList()->setCurrentIndex(2);
    // Enter presses UPDATE for a drive not yet updated.
    QApplication::sendEvent(rig.dialog.get(), &enter);
    EXPECT_EQ(rig.checks, 2);
}

TEST_F(UpdateDialogTest, InputDuringTheUpdateIsDroppedNotDeferred) {
    DialogRig rig({{3, 1, 1}, {3, 2, 1}, {0, 0, 2}});
    rig.boxes.QueueAnswer(platform::kIdNo);
    rig.dialog->OnInitDialog();
    rig.dialog->show();
    int rejected = 0;
    QObject::connect(rig.dialog.get(), &QDialog::rejected, [&] { ++rejected; });
    QPushButton* exitButton = rig.dialog->ExitButton();
    bool posted = false;
    rig.onWait = [&](uint32_t) {
        if (posted) return;
        posted = true;
        // A click on EXIT (enabled for the click's sake), Escape, and the close box.
        exitButton->setEnabled(true);
        const QPointF centre = QRectF(exitButton->rect()).center();
        const QPointF global = exitButton->mapToGlobal(centre);
        QCoreApplication::postEvent(
            exitButton, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                        Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            exitButton, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                        Qt::NoButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            rig.dialog.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QCoreApplication::postEvent(rig.dialog.get(), new QCloseEvent);
    };
    rig.dialog->UpdateButton()->click();
    ASSERT_TRUE(posted);
    QCoreApplication::processEvents();
    EXPECT_EQ(rejected, 0);
    EXPECT_TRUE(rig.dialog->isVisible());
    EXPECT_EQ(DriveTable[0].Updated, 1);
}

TEST_F(UpdateDialogTest, DoModalReturnsOkOnlyAfterTheRestartWasChosenAndWaitsForTheWorker) {
    struct Case {
        const char* name;
        int answer;
        int result;
    };
    for (const Case c :
         {Case{"yes", platform::kIdYes, 1}, Case{"no, then EXIT", platform::kIdNo, 2}}) {
        SCOPED_TRACE(c.name);
        std::memset(DriveTable, 0, sizeof DriveTable);
        SetUpDrives(1);
        DialogRig rig(Success());
        rig.boxes.QueueAnswer(c.answer);
        QTimer::singleShot(0, rig.dialog.get(), [&] {
            rig.dialog->UpdateButton()->click();
            if (rig.dialog->isVisible()) rig.dialog->ExitButton()->click();
        });
        EXPECT_EQ(rig.dialog->DoModal(), c.result);
        EXPECT_EQ(rig.restarts, c.answer == platform::kIdYes ? 1 : 0);
        EXPECT_EQ(rig.joins, 1);
    }
}

}  // namespace
