#include "ui/dialog_layout.h"

#include <algorithm>
#include <vector>

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

#include "ui/color_label.h"
#include "ui/fonts.h"

namespace ui {

namespace {

// a * b / c rounded to the nearest integer.
int MulDivRounded(int a, int b, int c) { return (a * b + c / 2) / c; }

QWidget* MakeControl(QDialog& dialog, const ControlTemplate& control, const QRect& place) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, &dialog);
        button->setDefault((control.style & kDefaultButton) != 0);
        button->setAutoDefault(true);
        button->setGeometry(place);
        return button;
    }
    case ControlKind::StaticText:
    case ControlKind::GroupBox: {
        auto* label = new CColorLabel(&dialog, control.kind == ControlKind::GroupBox
                                                   ? CColorLabel::Shape::GroupBox
                                                   : CColorLabel::Shape::Text);
        label->setText(text);
        label->setWordWrap((control.style & kWrap) != 0);
        Qt::Alignment alignment = (control.style & kAlignRight) ? Qt::AlignRight : Qt::AlignLeft;
        alignment |= (control.style & kVerticalCentre) ? Qt::AlignVCenter : Qt::AlignTop;
        label->setAlignment(alignment);
        if (control.style & (kSunkenEdge | kSunkenFrame)) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setLineWidth(1);
        }
        label->setEnabled((control.style & kDisabled) == 0);
        label->setGeometry(place);
        return label;
    }
    case ControlKind::Picture: {
        auto* picture = new QLabel(&dialog);
        const QPixmap pixmap(text);
        // The picture fills the control's place, so that it grows with the dialog.
        picture->setPixmap(
            pixmap.scaled(place.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setGeometry(place);
        return picture;
    }
    case ControlKind::DropDownList: {
        auto* list = new QComboBox(&dialog);
        list->setEditable(false);
        // The template's height includes the dropped-down part; the closed list is as
        // high as its font asks.
        const int closed = std::min(place.height(), list->sizeHint().height());
        list->setGeometry(place.x(), place.y(), place.width(), closed);
        return list;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(&dialog);
        bar->setTextVisible(false);
        bar->setGeometry(place);
        if (control.style & kSegmented) bar->setStyleSheet(SegmentedProgressStyle(place.height()));
        return bar;
    }
    }
    return nullptr;
}

}  // namespace

DialogBaseUnits BaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(advance / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    return QRect(MulDivRounded(x, units.width, 4), MulDivRounded(y, units.height, 8),
                 MulDivRounded(cx, units.width, 4), MulDivRounded(cy, units.height, 8));
}

QFont DialogFont(const DialogTemplate& dialogTemplate) {
    QFont font = FaceFont(dialogTemplate.fontFace);
    font.setPixelSize(RoundedPixelHeight(dialogTemplate.fontPoints, ScreenDpiY()));
    return font;
}

QWidget* DialogControls::Find(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    const QFont font = DialogFont(dialogTemplate);
    dialog.setFont(font);
    const DialogBaseUnits units = BaseUnits(font);
    const QRect client = DialogUnitsToPixels(units, 0, 0, dialogTemplate.cx, dialogTemplate.cy);
    dialog.setFixedSize(client.size());
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialogTemplate.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    dialog.setWindowFlags(flags);

    DialogControls controls;
    std::vector<QWidget*> made;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        const QRect place =
            DialogUnitsToPixels(units, control.x, control.y, control.cx, control.cy);
        QWidget* widget = MakeControl(dialog, control, place);
        made.push_back(widget);
        if (control.id != -1) controls.Add(control.id, widget);
    }
    // Later siblings are drawn over earlier ones: raise from the last to the first.
    for (auto widget = made.rbegin(); widget != made.rend(); ++widget) (*widget)->raise();
    return controls;
}

QString SegmentedProgressStyle(int heightPx) {
    // Blocks about two thirds as wide as the bar is high, with a gap between them, in the
    // selection colour on the bar's window colour.
    const int inner = std::max(2, heightPx - 4);
    const int block = std::max(2, inner * 2 / 3);
    return QStringLiteral(
               "QProgressBar { border: 1px solid palette(mid); background: palette(base);"
               " padding: 1px; }"
               " QProgressBar::chunk { background: palette(highlight); width: %1px;"
               " margin-right: 2px; }")
        .arg(block);
}

}  // namespace ui
