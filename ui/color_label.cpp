#include "ui/color_label.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include "ui/fonts.h"

QColor ColorFromRef(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

CColorLabel::CColorLabel(QWidget* parent, Shape shape) : QLabel(parent), shape_(shape) {
    setTextFormat(Qt::PlainText);
    // Clicks inside a group box reach the controls it frames.
    if (shape_ == Shape::GroupBox) setAttribute(Qt::WA_TransparentForMouseEvents);
}

// The font first, then the brush, as they were made.
CColorLabel::~CColorLabel() {
    font_.reset();
    brush_.reset();
}

void CColorLabel::SetLabelTextColor(ColorRef color) { textColor_ = ColorFromRef(color); }

void CColorLabel::SetLabelBkColor(ColorRef color) {
    backgroundColor_ = ColorFromRef(color);
    brush_ = std::make_unique<QBrush>(*backgroundColor_);
}

bool CColorLabel::SetLabelFont(int tenths, const std::string& faceName) {
    auto font = std::make_unique<QFont>(ui::FaceFont(faceName));
    font->setPixelSize(std::max(1, ui::TruncatedPixelHeight(tenths, ui::ScreenDpiY())));
    font_ = std::move(font);
    return true;
}

CColorLabel::Colors CColorLabel::OnReflectedCtlColor() const {
    // Without a colour of its own the dialog's defaults stand: the palette's text colour
    // and whatever the dialog paints behind the control.
    return Colors{textColor_.value_or(palette().color(QPalette::WindowText)),
                  backgroundColor_.value_or(palette().color(QPalette::Window)), brush_.get()};
}

void CColorLabel::paintEvent(QPaintEvent* /*event*/) {
    const Colors colors = OnReflectedCtlColor();
    if (shape_ == Shape::GroupBox) {
        PaintGroupBox(colors);
        return;
    }
    QPainter painter(this);
    if (colors.brush != nullptr) painter.fillRect(rect(), *colors.brush);
    drawFrame(&painter);
    if (text().isEmpty()) return;
    painter.setFont(font_ ? *font_ : font());
    painter.setPen(colors.text);
    int flags = static_cast<int>(alignment());
    if (wordWrap()) flags |= Qt::TextWordWrap;
    // A carriage return and line feed is one line break.
    QString shown = text();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    painter.drawText(contentsRect(), flags, shown);
}

// A frame whose top edge runs through the middle of the caption, the caption on the
// background colour. The inside is left alone: the controls inside the frame lie beneath
// it and show through.
void CColorLabel::PaintGroupBox(const Colors& colors) {
    QPainter painter(this);
    const QFont shownFont = font_ ? *font_ : font();
    const QFontMetrics metrics(shownFont);

    // An etched line: a dark one with a light one just inside and below it.
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);

    if (text().isEmpty()) return;
    const int indent = metrics.averageCharWidth();
    const QRect caption(indent, 0, metrics.horizontalAdvance(text()) + 2, metrics.height());
    painter.fillRect(
        caption, colors.brush != nullptr ? colors.background : palette().color(QPalette::Window));
    painter.setFont(shownFont);
    painter.setPen(colors.text);
    painter.drawText(caption, Qt::AlignCenter, text());
}
