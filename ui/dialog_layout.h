// Builds a dialog's controls from its template: dialog units become pixels through the
// dialog font's base units, so that a dialog keeps its proportions at any screen
// resolution and with any face that stands in for the one the template names.
#pragma once

#include <map>

#include <QFont>
#include <QRect>

#include "ui/dialog_templates.h"

class QDialog;
class QWidget;

namespace ui {

struct DialogBaseUnits {
    int width;   // pixels per 4 horizontal dialog units
    int height;  // pixels per 8 vertical dialog units
};

// Base width: (advance of "A".."Z" "a".."z" ÷ 26 + 1) ÷ 2; base height: the font's height.
DialogBaseUnits BaseUnits(const QFont& font);
QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int cx, int cy);

// The template's font at the screen's resolution.
QFont DialogFont(const DialogTemplate& dialogTemplate);

// The controls of a built dialog by identifier (controls with id -1 are not kept).
class DialogControls {
public:
    QWidget* Find(int id) const;
    template <class Widget>
    Widget* As(int id) const {
        return dynamic_cast<Widget*>(Find(id));
    }
    void Add(int id, QWidget* widget) { controls_[id] = widget; }

private:
    std::map<int, QWidget*> controls_;
};

// Gives `dialog` the template's font, fixed client size and caption, and makes every
// control as a child of it, in place, with the first control of the template on top.
DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate);

// The style sheet that draws a progress bar of `heightPx` in separate blocks.
QString SegmentedProgressStyle(int heightPx);

}  // namespace ui
