// CNoticeDlg: the welcome and disclaimer window shown before the main dialog when the
// configuration names a drive class. OK goes on; Cancel, Escape and the close box end the
// program.
#pragma once

#include <string>

#include <QDialog>

#include "ui/dialog_layout.h"

class CColorLabel;

class CNoticeDlg : public QDialog {
public:
    // Builds the window from its template; reads no configuration.
    explicit CNoticeDlg(QWidget* parent = nullptr);

    // Initialises from the configuration and runs the dialog modally: 1 (OK) or 2 (Cancel).
    int DoModal();

    // Fills every control from the configuration and the language; DoModal calls it before
    // the window is shown.
    void OnInitDialog();

    const ui::DialogControls& Controls() const { return controls_; }
    CColorLabel* Label(int id) const;
    // The assembled notice (UTF-8).
    const std::string& NoticeText() const { return noticeText_; }

private:
    ui::DialogControls controls_;
    std::string noticeText_;
};
