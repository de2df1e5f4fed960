#include "ui/color_label.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "ui/fonts.h"

QColor ColorFromRef(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

CColorLabel::CColorLabel(QWidget* parent, Shape shape) : QLabel(parent), shape_(shape) {
    setTextFormat(Qt::PlainText);
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
// background colour.
void CColorLabel::PaintGroupBox(const Colors& colors) {
    QPainter painter(this);
    const QFont shownFont = font_ ? *font_ : font();
    const QFontMetrics metrics(shownFont);
    if (colors.brush != nullptr) painter.fillRect(rect(), *colors.brush);

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, metrics.height() / 2, 0, 0);
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    frame.features = QStyleOptionFrame::None;
    frame.frameShape = QFrame::StyledPanel;
    style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, this);

    if (text().isEmpty()) return;
    const int indent = metrics.averageCharWidth();
    const QRect caption(indent, 0, metrics.horizontalAdvance(text()) + 2, metrics.height());
    painter.fillRect(caption, colors.brush != nullptr ? colors.background
                                                      : palette().color(QPalette::Window));
    painter.setFont(shownFont);
    painter.setPen(colors.text);
    painter.drawText(caption, Qt::AlignCenter, text());
}
