// The Qt message boxes, shown for real on the offscreen platform and answered by pressing
// their buttons.
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ui/qt_message_boxes.h"

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hasParent = true;
    QWidget* parent = nullptr;
};

class QtMessageBoxesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "zv_app_qt_tests";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
    }

    // Shows a box and, once it is up, records it and closes it with `close`.
    int ShowAndAnswer(platform::MessageIcon icon, platform::MessageButtons buttons,
                      std::function<void(QMessageBox&)> close) {
        QTimer::singleShot(0, [this, close] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons = box->standardButtons();
            seen.hasParent = box->parentWidget() != nullptr;
            seen.parent = box->parentWidget();
            close(*box);
        });
        ui::QtMessageBoxes boxes;
        return boxes.Show("ドライブが見つかりません。", "Error - Upgrade Program", icon, buttons);
    }

    SeenBox seen;
};

TEST_F(QtMessageBoxesTest, OkBoxShowsTitleTextAndStopIconWithoutOwner) {
    const int answer =
        ShowAndAnswer(platform::MessageIcon::Stop, platform::MessageButtons::Ok,
                      [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(answer, platform::kIdOk);
    EXPECT_EQ(seen.title, QStringLiteral("Error - Upgrade Program"));
    EXPECT_EQ(seen.text, QString::fromUtf8("ドライブが見つかりません。"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(seen.hasParent);
}

TEST_F(QtMessageBoxesTest, YesNoBoxReportsTheButtonPressed) {
    struct Case {
        QMessageBox::StandardButton press;
        int answer;
    };
    for (const Case c :
         {Case{QMessageBox::Yes, platform::kIdYes}, Case{QMessageBox::No, platform::kIdNo}}) {
        const int answer =
            ShowAndAnswer(platform::MessageIcon::Question, platform::MessageButtons::YesNo,
                          [c](QMessageBox& box) { box.button(c.press)->click(); });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    }
}

TEST_F(QtMessageBoxesTest, ClosingAYesNoBoxOtherwiseIsNo) {
    const int answer =
        ShowAndAnswer(platform::MessageIcon::Information, platform::MessageButtons::YesNo,
                      [](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(answer, platform::kIdNo);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
}

// A box shown while a dialog runs belongs to that dialog, so that it stays above it and
// the dialog takes no input until the box is answered.
TEST_F(QtMessageBoxesTest, BoxShownWhileADialogRunsIsOwnedByIt) {
    QDialog dialog;
    int answer = 0;
    QTimer::singleShot(0, [&] {
        answer = ShowAndAnswer(platform::MessageIcon::Information, platform::MessageButtons::Ok,
                               [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
        dialog.accept();
    });
    dialog.exec();
    EXPECT_EQ(answer, platform::kIdOk);
    EXPECT_EQ(seen.parent, &dialog);
}

}  // namespace
