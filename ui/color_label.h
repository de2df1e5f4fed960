// CColorLabel: a static control that draws itself with its own text colour, background
// colour and font. The notice dialog uses it for its labels, its white background panel and
// its group box; the main dialog for its status line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QColor>
#include <QLabel>

class QPaintEvent;

// A Windows COLORREF: 0x00BBGGRR.
using ColorRef = uint32_t;

QColor ColorFromRef(ColorRef color);

class CColorLabel : public QLabel {
public:
    // How the control is drawn besides its colours: plain text (also a panel without text),
    // or a group box frame with its caption.
    enum class Shape { Text, GroupBox };

    explicit CColorLabel(QWidget* parent = nullptr, Shape shape = Shape::Text);
    ~CColorLabel() override;

    // Each takes effect the next time the label is drawn. A later call replaces the earlier
    // colour, brush or font; the earlier one is released.
    void SetLabelTextColor(ColorRef color);
    void SetLabelBkColor(ColorRef color);
    // `tenths` of a point, converted with the screen's vertical resolution and truncated;
    // a face ending in " Bold" is asked for as the family without it, in bold. True when
    // the font was made.
    bool SetLabelFont(int tenths, const std::string& faceName);

    // What the label answers when asked for its colours before it is drawn: the text and
    // background colours it gives the painter, and the brush it fills its area with (none:
    // the dialog's defaults apply).
    struct Colors {
        QColor text;
        QColor background;
        const QBrush* brush;  // null when no background colour was set
    };
    Colors OnReflectedCtlColor() const;

    Shape LabelShape() const { return shape_; }
    // The label's own font; null until one is set.
    const QFont* OwnFont() const { return font_.get(); }
    bool HasBackground() const { return brush_ != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintGroupBox(const Colors& colors);

    Shape shape_;
    std::optional<QColor> textColor_;
    std::optional<QColor> backgroundColor_;
    std::unique_ptr<QBrush> brush_;
    std::unique_ptr<QFont> font_;
};
