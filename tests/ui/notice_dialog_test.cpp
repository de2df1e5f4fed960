// The notice dialog initialised from the configuration, in both languages: title, labels
// with their texts, colours and fonts, the notice, the logo, focus and the two results.
#include <cctype>
#include <functional>
#include <optional>

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "ui/color_label.h"
#include "ui/dialog_templates.h"
#include "ui/fonts.h"
#include "ui/notice_dialog.h"
#include "ui_state.h"

namespace {

constexpr uint32_t kEnglish = 1033;
constexpr uint32_t kJapanese = 1041;

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct NoticeCase {
    const char* name;
    const char* patterns;
    const char* version;
    uint8_t cautionKind;
    uint32_t lcid;
    uint8_t osKind;
    uint8_t noPassThrough;
    // Expected.
    const char* title;
    const char* productLine;
    const char* versionLine;
    const char* noticeBegins;
    const char* noticeContains;  // "" when nothing more is checked
    bool logoShown;
    const char* information;
};

// clang-format off
const NoticeCase kCases[] = {
    {"english DVD", "ZORVANT DVDR   ZV-314K  ;", "1.05", 4, kEnglish, 2, 0,
     "ZV-314K Firmware 1.05 - Welcome", "DVDR   ZV-314K  Firmware", "Version 1.05",
     "ZORVANT DVD±R/RW Drive Firmware Update Program\r\n\r\nThis program can update the "
     "firmware for the ZORVANT DVD±R/RW Drive, Model ZV-314K\r\n\r\nZORVANT DOES NOT",
     "AT NO TIME WILL ZORVANT BE LIABLE", true, ""},
    {"japanese DVD", "ZORVANT DVDR   ZV-314K  ;", "1.05", 4, kJapanese, 2, 0,
     "ZV-314K Firmware 1.05 - Welcome", "DVDR   ZV-314K  Firmware", "Version 1.05",
     "ZORVANT DVD±R/RWドライブ　ファームウェア更新プログラム\r\n\r\n本プログラムはZORVANT "
     "DVD±R/RW ZV-314K のファームウェアを更新します。\r\n\r\nゾルバントは、",
     "たとえゾルバントが、", true, ""},
    {"one-word product", "ZORVANT ZV100;", "2.00", 1, kEnglish, 2, 0,
     "ZV100 Firmware 2.00 - Welcome", "ZV100  Firmware", "Version 2.00",
     "ZORVANT CD-R Drive Firmware", "Drive, Model ZV100\r\n", true, ""},
    {"other vendor in japanese", "ACME    CD-RW   X1;", "1.10", 2, kJapanese, 2, 0,
     "X1 Firmware 1.10 - Welcome", "CD-RW   X1  Firmware", "Version 1.10",
     "ACME CD-R/RWドライブ", "\r\n\r\nACMEは、", false, ""},
    {"short pattern ends at ';'", "ZORVANT CD ZV1;NEXT    PATTERN", "1.00", 3, kEnglish, 2, 0,
     "ZV1 Firmware 1.00 - Welcome", "CD ZV1  Firmware", "Version 1.00",
     "ZORVANT CD-ROM Drive", "Model ZV1\r\n", true, ""},
    {"vendor word without its blank", "ZORVANTXCD-RW   X2;", "1.00", 5, kEnglish, 2, 0,
     "X2 Firmware 1.00 - Welcome", "CD-RW   X2  Firmware", "Version 1.00",
     "ZORVANTX  Drive Firmware", "present in the  drive", false, ""},
    {"9x family needs the ASPI manager", "ZORVANT CD-RW   X3;", "1.00", 2, kEnglish, 0, 0,
     "X3 Firmware 1.00 - Welcome", "CD-RW   X3  Firmware", "Version 1.00", "ZORVANT", "", true,
     "WNASPI32.DLL is necessary for this program."},
    {"pass-through turned off, japanese", "ZORVANT CD-RW   X3;", "1.00", 2, kJapanese, 2, 1,
     "X3 Firmware 1.00 - Welcome", "CD-RW   X3  Firmware", "Version 1.00", "ZORVANT", "", true,
     "本プログラムの実行にはWNASPI32.DLLが必要です。"},
};
// clang-format on

void PrintTo(const NoticeCase& c, std::ostream* out) { *out << c.name; }

class NoticeDialogTest : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(NoticeDialogTest, InitialisesEveryControlFromTheConfiguration) {
    const NoticeCase& c = GetParam();
    ResetProgramState(c.lcid);
    SetField(Config.InquiryPatterns, c.patterns);
    SetField(Config.Version, c.version);
    Config.CautionKind = c.cautionKind;
    Config.OsKind = c.osKind;
    Config.NoPassThrough = c.noPassThrough;

    CNoticeDlg dialog;
    dialog.OnInitDialog();
    dialog.show();
    const bool japanese = c.lcid == kJapanese;

    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(dialog.Label(ui::kIdcProductLine)->text(), QString::fromUtf8(c.productLine));
    EXPECT_EQ(dialog.Label(ui::kIdcVersionLine)->text(), QString::fromUtf8(c.versionLine));
    EXPECT_EQ(dialog.NoticeText().rfind(c.noticeBegins, 0), 0u) << dialog.NoticeText();
    EXPECT_NE(dialog.NoticeText().find(c.noticeContains), std::string::npos) << dialog.NoticeText();
    EXPECT_EQ(dialog.Label(ui::kIdcNoticeText)->text(), Q(dialog.NoticeText()));
    EXPECT_EQ(dialog.Controls().Find(ui::kIdcLogo)->isVisible(), c.logoShown);
    EXPECT_EQ(dialog.Label(ui::kIdcInformationLine)->text(), QString::fromUtf8(c.information));
    // Template texts that stay.
    EXPECT_EQ(dialog.Label(ui::kIdcNoticeGroup)->text(), QStringLiteral("Notice"));
    EXPECT_EQ(dialog.Label(ui::kIdcCopyrightLine)->text(),
              QString::fromUtf8(ui::NoticeDialogTemplate().controls[8].text));
    EXPECT_EQ(dialog.Controls().As<QPushButton>(ui::kIdcOk)->text(), QStringLiteral("&OK"));

    // Fonts: the Japanese face where Japanese text is shown, the dialog's font elsewhere.
    const bool japaneseNoticeFont = japanese;
    const CColorLabel* notice = dialog.Label(ui::kIdcNoticeText);
    EXPECT_EQ(notice->OwnFont() != nullptr, japaneseNoticeFont);
    if (japaneseNoticeFont) {
        EXPECT_EQ(notice->OwnFont()->family(), QString::fromUtf8("ＭＳ ゴシック"));
        EXPECT_TRUE(QFontInfo(*notice->OwnFont()).family().startsWith("IPA"));
    }
    const CColorLabel* information = dialog.Label(ui::kIdcInformationLine);
    EXPECT_EQ(information->OwnFont() != nullptr, japanese && *c.information != '\0');

    // Focus rests on the notice.
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.focusWidget(), notice);
}

INSTANTIATE_TEST_SUITE_P(Cases, NoticeDialogTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<NoticeCase>& param) {
                             std::string name;
                             for (const char* p = param.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(NoticeDialogLooksTest, LabelsHaveTheirColoursAndFonts) {
    ResetProgramState(kEnglish);
    SetField(Config.InquiryPatterns, "ZORVANT DVDR   ZV-314K  ;");
    SetField(Config.Version, "1.05");
    Config.CautionKind = 4;
    CNoticeDlg dialog;
    dialog.OnInitDialog();

    struct Look {
        int id;
        std::optional<QColor> text;  // none: not set, the dialog's default
        const char* family;          // nullptr: the dialog's font
        bool bold;
        int tenths;
    };
    const QColor black(0, 0, 0), blue(0, 0, 255), grey(128, 128, 128);
    // clang-format off
    const Look looks[] = {
        {ui::kIdcBackgroundPanel, std::nullopt, nullptr, false, 0},
        {ui::kIdcProductLine, blue, "Times New Roman", true, 190},
        {ui::kIdcVersionLine, black, "Times New Roman", false, 150},
        {ui::kIdcInformationLine, black, nullptr, false, 0},
        {ui::kIdcNoticeGroup, black, nullptr, false, 0},
        {ui::kIdcNoticeText, black, nullptr, false, 0},
        {ui::kIdcCopyrightLine, grey, "Arial", false, 85},
    };
    // clang-format on
    for (const Look& look : looks) {
        SCOPED_TRACE(look.id);
        const CColorLabel* label = dialog.Label(look.id);
        ASSERT_NE(label, nullptr);
        const CColorLabel::Colors colors = label->OnReflectedCtlColor();
        ASSERT_NE(colors.brush, nullptr);
        EXPECT_EQ(colors.brush->color(), QColor(Qt::white));
        if (look.text) {
            EXPECT_EQ(colors.text, *look.text);
        }
        if (look.family == nullptr) {
            EXPECT_EQ(label->OwnFont(), nullptr);
        } else {
            ASSERT_NE(label->OwnFont(), nullptr);
            EXPECT_EQ(label->OwnFont()->family(), QString::fromUtf8(look.family));
            EXPECT_EQ(label->OwnFont()->bold(), look.bold);
            EXPECT_EQ(label->OwnFont()->pixelSize(),
                      ui::TruncatedPixelHeight(look.tenths, ui::ScreenDpiY()));
        }
    }
    // The panel is white behind every label.
    dialog.show();
    const QImage shot = dialog.grab().toImage();
    const QRect panel = dialog.Controls().Find(ui::kIdcBackgroundPanel)->geometry();
    EXPECT_EQ(shot.pixelColor(panel.center().x(), panel.bottom() - 3), QColor(Qt::white));
}

TEST(NoticeDialogResultTest, OkGoesOnAndEveryOtherWayOutCancels) {
    ResetProgramState(kEnglish);
    SetField(Config.InquiryPatterns, "ZORVANT CD-RW   X1;");
    SetField(Config.Version, "1.00");
    Config.CautionKind = 2;
    struct Way {
        const char* name;
        std::function<void(CNoticeDlg&)> close;
        int result;
    };
    // clang-format off
    const Way ways[] = {
        {"OK button", [](CNoticeDlg& d) { d.Controls().As<QPushButton>(ui::kIdcOk)->click(); }, 1},
        {"Enter", [](CNoticeDlg& d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
             QApplication::sendEvent(d.focusWidget(), &press);
         }, 1},
        {"Cancel button", [](CNoticeDlg& d) { d.Controls().As<QPushButton>(ui::kIdcCancel)->click(); }, 2},
        {"Escape", [](CNoticeDlg& d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(d.focusWidget(), &press);
         }, 2},
        {"close box", [](CNoticeDlg& d) { d.close(); }, 2},
    };
    // clang-format on
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        CNoticeDlg dialog;
        QTimer::singleShot(0, &dialog, [&] {
            ASSERT_NE(dialog.focusWidget(), nullptr);
            way.close(dialog);
        });
        EXPECT_EQ(dialog.DoModal(), way.result);
    }
}

}  // namespace
