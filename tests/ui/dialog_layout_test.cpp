// Both templates built into real dialogs: dialog units converted with the dialog font's
// base units, every control in its place, the first control of a template on top.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/color_label.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_templates.h"

namespace {

TEST(DialogUnitsTest, BaseUnitsComeFromTheAlphabetsAdvanceAndTheFontHeight) {
    for (const int pixels : {11, 12, 16, 24}) {
        QFont font("Liberation Sans");
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const int advance =
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const ui::DialogBaseUnits units = ui::BaseUnits(font);
        EXPECT_EQ(units.width, (advance / 26 + 1) / 2) << pixels;
        EXPECT_EQ(units.height, metrics.ascent() + metrics.descent()) << pixels;
    }
}

TEST(DialogUnitsTest, UnitsBecomePixelsRoundedToTheNearest) {
    struct Case {
        ui::DialogBaseUnits units;
        int x, y, cx, cy;
        QRect pixels;
    };
    // clang-format off
    const Case cases[] = {
        {{7, 15}, 4, 4, 240, 230, QRect(7, 8, 420, 431)},
        {{6, 13}, 196, 7, 64, 14, QRect(294, 11, 96, 23)},
        {{14, 30}, 196, 7, 64, 14, QRect(686, 26, 224, 53)},  // twice the resolution
        {{6, 13}, 0, 0, 0, 0, QRect(0, 0, 0, 0)},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(ui::DialogUnitsToPixels(c.units, c.x, c.y, c.cx, c.cy), c.pixels)
            << c.x << "," << c.y << " " << c.cx << "x" << c.cy;
}

class BuiltDialogTest : public ::testing::TestWithParam<const ui::DialogTemplate*> {};

TEST_P(BuiltDialogTest, EveryControlSitsWhereItsTemplateSays) {
    const ui::DialogTemplate& dialogTemplate = *GetParam();
    QDialog dialog;
    const ui::DialogControls controls = ui::BuildDialog(dialog, dialogTemplate);
    const QFont font = ui::DialogFont(dialogTemplate);
    const ui::DialogBaseUnits units = ui::BaseUnits(font);
    EXPECT_EQ(dialog.font().pixelSize(), font.pixelSize());
    EXPECT_EQ(dialog.size(),
              ui::DialogUnitsToPixels(units, 0, 0, dialogTemplate.cx, dialogTemplate.cy).size());
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(dialogTemplate.caption));
    EXPECT_EQ((dialog.windowFlags() & Qt::WindowMinimizeButtonHint) != 0,
              dialogTemplate.minimizeBox);
    for (const ui::ControlTemplate& control : dialogTemplate.controls) {
        if (control.id == -1) continue;
        SCOPED_TRACE(control.id);
        QWidget* widget = controls.Find(control.id);
        ASSERT_NE(widget, nullptr);
        const QRect place =
            ui::DialogUnitsToPixels(units, control.x, control.y, control.cx, control.cy);
        if (control.kind == ui::ControlKind::DropDownList) {
            // Closed, the list is only as high as its font asks.
            EXPECT_EQ(widget->geometry().topLeft(), place.topLeft());
            EXPECT_EQ(widget->width(), place.width());
            EXPECT_LE(widget->height(), place.height());
        } else {
            EXPECT_EQ(widget->geometry(), place);
        }
        // Every control lies inside the dialog.
        EXPECT_TRUE(QRect(QPoint(0, 0), dialog.size()).contains(widget->geometry()));
        if (control.style & ui::kColorLabel) {
            EXPECT_NE(dynamic_cast<CColorLabel*>(widget), nullptr);
        }
        if (control.kind == ui::ControlKind::PushButton) {
            auto* button = dynamic_cast<QPushButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromUtf8(control.text));
            EXPECT_EQ(button->isDefault(), (control.style & ui::kDefaultButton) != 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, BuiltDialogTest,
                         ::testing::Values(&ui::NoticeDialogTemplate(),
                                           &ui::UpdateDialogTemplate()));

TEST(NoticeTemplateTest, PanelLiesBeneathTheLabelsAndTheLogoIsOurPicture) {
    QDialog dialog;
    const ui::DialogControls controls = ui::BuildDialog(dialog, ui::NoticeDialogTemplate());
    // The group box lets clicks through to what it frames.
    for (const int id :
         {ui::kIdcNoticeText, ui::kIdcProductLine, ui::kIdcCopyrightLine, ui::kIdcLogo}) {
        QWidget* widget = controls.Find(id);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(dialog.childAt(widget->geometry().center()), widget) << id;
    }
    EXPECT_EQ(
        dialog.childAt(controls.Find(ui::kIdcNoticeGroup)->geometry().topLeft() + QPoint(1, 10)),
        controls.Find(ui::kIdcBackgroundPanel));
    auto* panel = controls.As<CColorLabel>(ui::kIdcBackgroundPanel);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isEnabled());
    EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);
    auto* logo = controls.As<QLabel>(ui::kIdcLogo);
    ASSERT_NE(logo, nullptr);
    ASSERT_FALSE(logo->pixmap().isNull());
    // 120 x 32, scaled into the control's place without distortion.
    EXPECT_NEAR(logo->pixmap().width() * 32.0 / 120.0, logo->pixmap().height(), 1.0);
    EXPECT_LE(logo->pixmap().width(), logo->width());
    EXPECT_LE(logo->pixmap().height(), logo->height());
}

TEST(UpdateTemplateTest, ProgressBarIsSegmentedAndTheStatusLineSunken) {
    QDialog dialog;
    const ui::DialogControls controls = ui::BuildDialog(dialog, ui::UpdateDialogTemplate());
    auto* bar = controls.As<QProgressBar>(ui::kIdcProgress);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->styleSheet().contains("::chunk"));
    EXPECT_FALSE(bar->isTextVisible());
    auto* status = controls.As<CColorLabel>(ui::kIdcStatusLine);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(status->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    auto* list = controls.As<QComboBox>(ui::kIdcDriveList);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEditable());
}

}  // namespace
