// The colour label drawn for real on the offscreen platform: its colours, its fill and its
// font, and the dialog's defaults where it has none of its own.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include "ui/color_label.h"
#include "ui/fonts.h"

namespace {

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kGrey = 0x808080;

// A parent painted in a colour no label uses, so that "the dialog's default" is visible.
class LabelOnDialog : public ::testing::Test {
protected:
    LabelOnDialog() {
        parent_.setAutoFillBackground(true);
        QPalette palette = parent_.palette();
        palette.setColor(QPalette::Window, QColor(10, 200, 10));
        palette.setColor(QPalette::WindowText, QColor(200, 10, 10));
        parent_.setPalette(palette);
        parent_.resize(300, 100);
        label_ = new CColorLabel(&parent_);
        label_->setGeometry(10, 10, 200, 40);
        label_->setText("WWWWWWWW");
    }
    QImage Shot() {
        return parent_.grab()
            .toImage()
            .copy(label_->geometry())
            .convertToFormat(QImage::Format_RGB32);
    }
    static bool Contains(const QImage& image, QColor color) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == color) return true;
        return false;
    }
    static bool Only(const QImage& image, QColor color) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != color) return false;
        return true;
    }

    QWidget parent_;
    CColorLabel* label_;
};

TEST(ColorRefTest, BytesAreRedGreenBlueFromTheLowEnd) {
    EXPECT_EQ(ColorFromRef(kBlue), QColor(0, 0, 255));
    EXPECT_EQ(ColorFromRef(kGrey), QColor(128, 128, 128));
    EXPECT_EQ(ColorFromRef(0x00336699), QColor(0x99, 0x66, 0x33));
}

TEST_F(LabelOnDialog, ColoursOfItsOwnFillTheWholeLabelAndColourTheText) {
    label_->SetLabelTextColor(kBlue);
    label_->SetLabelBkColor(kWhite);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() - 1), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_TRUE(Contains(shot, QColor(0, 0, 255)));
    EXPECT_FALSE(Contains(shot, QColor(10, 200, 10)));
}

TEST_F(LabelOnDialog, BackgroundWithoutTextColourFillsAPanel) {
    label_->setText("");
    label_->SetLabelBkColor(kWhite);
    EXPECT_TRUE(Only(Shot(), QColor(Qt::white)));
}

TEST_F(LabelOnDialog, WithoutABackgroundTheDialogsDefaultsShowAndTheOwnFontIsUsed) {
    ASSERT_TRUE(label_->SetLabelFont(190, "Times New Roman"));
    EXPECT_EQ(label_->OnReflectedCtlColor().brush, nullptr);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() - 1), QColor(10, 200, 10));
    EXPECT_TRUE(Contains(shot, QColor(200, 10, 10)));  // the dialog's text colour
    // The text is drawn in the label's font: 19 pt is higher than the dialog's font.
    const QImage small = [&] {
        CColorLabel plain(&parent_);
        plain.setGeometry(label_->geometry());
        plain.setText(label_->text());
        label_->hide();
        QImage image = parent_.grab().toImage().copy(plain.geometry());
        label_->show();
        return image;
    }();
    auto inkRows = [](const QImage& image) {
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != QColor(10, 200, 10)) {
                    ++rows;
                    break;
                }
        return rows;
    };
    EXPECT_GT(inkRows(shot), inkRows(small.convertToFormat(QImage::Format_RGB32)));
}

TEST_F(LabelOnDialog, ASecondCallReplacesTheFirst) {
    label_->SetLabelBkColor(kBlue);
    label_->SetLabelBkColor(kGrey);
    label_->SetLabelTextColor(kBlue);
    label_->SetLabelTextColor(kWhite);
    ASSERT_TRUE(label_->SetLabelFont(190, "Arial"));
    ASSERT_TRUE(label_->SetLabelFont(85, "Arial"));
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(128, 128, 128));
    EXPECT_TRUE(Contains(shot, QColor(Qt::white)));
    EXPECT_FALSE(Contains(shot, QColor(0, 0, 255)));
    EXPECT_EQ(label_->OnReflectedCtlColor().brush->color(), QColor(128, 128, 128));
}

TEST_F(LabelOnDialog, GroupBoxDrawsItsCaptionInItsColoursAndLeavesItsInsideAlone) {
    auto* group = new CColorLabel(&parent_, CColorLabel::Shape::GroupBox);
    group->setGeometry(label_->geometry());
    group->setText("Notice");
    group->SetLabelTextColor(kBlue);
    group->SetLabelBkColor(kWhite);
    label_->hide();
    const QImage shot =
        parent_.grab().toImage().copy(group->geometry()).convertToFormat(QImage::Format_RGB32);
    const QFontMetrics metrics(group->font());
    const QImage caption = shot.copy(metrics.averageCharWidth(), 0,
                                     metrics.horizontalAdvance("Notice"), metrics.height());
    EXPECT_TRUE(Contains(caption, QColor(0, 0, 255)));
    EXPECT_TRUE(Contains(caption, QColor(Qt::white)));
    EXPECT_FALSE(Contains(caption, QColor(10, 200, 10)));
    // Inside the frame, what lies beneath shows through.
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() * 3 / 4), QColor(10, 200, 10));
}

TEST(LabelFontTest, TenthsOfAPointBecomeTruncatedPixelHeights) {
    struct Case {
        int tenths;
        int dpi;
        int pixels;
    };
    const Case cases[] = {{190, 96, 25}, {150, 96, 20}, {90, 96, 12},
                          {85, 96, 11},  {85, 120, 14}, {90, 144, 18}};
    for (const Case& c : cases)
        EXPECT_EQ(ui::TruncatedPixelHeight(c.tenths, c.dpi), c.pixels) << c.tenths << "@" << c.dpi;
    CColorLabel label;
    EXPECT_EQ(label.OwnFont(), nullptr);
    ASSERT_TRUE(label.SetLabelFont(85, "Arial"));
    ASSERT_NE(label.OwnFont(), nullptr);
    EXPECT_EQ(label.OwnFont()->pixelSize(), ui::TruncatedPixelHeight(85, ui::ScreenDpiY()));
}

TEST(LabelFontTest, FaceNamesGiveFamilyAndBoldness) {
    struct Case {
        const char* face;
        const char* family;
        bool bold;
    };
    // clang-format off
    const Case cases[] = {
        {"Times New Roman Bold", "Times New Roman", true},
        {"Times New Roman", "Times New Roman", false},
        {"Arial", "Arial", false},
        {" Bold", " Bold", false},
        // Cut to 31 characters before the style is looked for.
        {"An Extremely Long Face Name Here Bold", "An Extremely Long Face Name Her", false},
        {"ＭＳ ゴシック", "ＭＳ ゴシック", false},
    };
    // clang-format on
    for (const Case& c : cases) {
        const QFont font = ui::FaceFont(c.face);
        EXPECT_EQ(font.family(), QString::fromUtf8(c.family)) << c.face;
        EXPECT_EQ(font.bold(), c.bold) << c.face;
    }
}

TEST(LabelFontTest, JapaneseFaceNamesReachAFaceWithJapaneseGlyphs) {
    for (const char* face : {"ＭＳ ゴシック", "ＭＳ Ｐゴシック"}) {
        QFont font = ui::FaceFont(face);
        font.setPixelSize(12);
        const QFontInfo info(font);
        EXPECT_TRUE(info.family().startsWith("IPA"))
            << face << " -> " << info.family().toStdString();
        const QFontMetrics metrics(font);
        for (const char32_t glyph : {U'ド', U'ラ', U'更', U'新', U'　', U'±'})
            EXPECT_TRUE(metrics.inFontUcs4(glyph))
                << face << " U+" << std::hex << static_cast<uint32_t>(glyph);
    }
}

}  // namespace
