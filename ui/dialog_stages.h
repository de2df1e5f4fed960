// The program's stages with the two dialogs: the notice and the main dialog, run modally.
#pragma once

#include "app/program_stages.h"

class DialogStages final : public ProgramStages {
public:
    int RunNoticeDialog() override;
    int RunMainDialog() override;
};
