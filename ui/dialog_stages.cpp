#include "ui/dialog_stages.h"

#include "ui/notice_dialog.h"
#include "ui/update_actions.h"
#include "ui/update_dialog.h"

// Each dialog is made when its stage comes: making one reads no configuration, so this is
// the same as making both up front, without holding a window that may never be shown.
int DialogStages::RunNoticeDialog() {
    CNoticeDlg notice;
    return notice.DoModal();
}

int DialogStages::RunMainDialog() {
    CUpdateDlg main(EngineUpdateActions());
    return main.DoModal();
}
