// CUpdateDlg: the program's main window. The user picks a drive and presses UPDATE; the
// progress monitor then starts the update worker and follows ChunkCounter and WorkerState
// on the progress bar and the status line until the worker has succeeded or failed.
#pragma once

#include <QDialog>
#include <QIcon>

#include "ui/dialog_layout.h"
#include "ui/update_actions.h"

class CColorLabel;
class QComboBox;
class QProgressBar;
class QPushButton;

class CUpdateDlg : public QDialog {
public:
    // Builds the window from its template and loads the program icon; reads no
    // configuration.
    explicit CUpdateDlg(UpdateActions actions, QWidget* parent = nullptr);

    // Initialises and runs the dialog modally: 1 (OK) only when an update succeeded and the
    // user asked for the restart (the restart copy has been started then), else 2. Waits
    // for the worker before it returns.
    int DoModal();

    // Icon, status line font, title, drive list, focus and the prompt.
    void OnInitDialog();
    // The selection changed: it becomes SelectedDrive, and UPDATE is enabled only for a
    // drive not updated yet.
    void OnDriveSelChange();
    // The UPDATE button or Enter: checks, update, outcome, restart question.
    void OnUpdate();
    // Starts the worker and follows it to its end on the GUI thread, with user input
    // dropped meanwhile. 1 when the update succeeded, 0 when it failed.
    int RunUpdateWithProgress();

    QComboBox* DriveList() const { return driveList_; }
    QProgressBar* Progress() const { return progress_; }
    CColorLabel* StatusLine() const { return status_; }
    QPushButton* UpdateButton() const { return updateButton_; }
    QPushButton* ExitButton() const { return exitButton_; }
    const QIcon& ProgramIcon() const { return icon_; }

private:
    // Draws the window at once, and lets the event loop run with user input dropped.
    void Repaint();
    void SetStatus(int text);
    void AdvanceBar();
    int Failure();

    UpdateActions actions_;
    ui::DialogControls controls_;
    QComboBox* driveList_;
    QProgressBar* progress_;
    CColorLabel* status_;
    QPushButton* updateButton_;
    QPushButton* exitButton_;
    QIcon icon_;
};
