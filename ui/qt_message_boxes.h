// Message boxes shown with Qt. When ZVFIRM_MESSAGE_LOG names a file, boxes are not shown:
// each is appended to that file and answered with its default button, so that the real
// program can run unattended in tests and scripts.
#pragma once

#include <string>

#include "platform/message_box.h"

namespace ui {

class QtMessageBoxes final : public platform::MessageBoxes {
public:
    // Reads ZVFIRM_MESSAGE_LOG once.
    QtMessageBoxes();

    int Show(const std::string& text, const std::string& title, platform::MessageIcon icon,
             platform::MessageButtons buttons) override;

private:
    int Log(const std::string& text, const std::string& title, platform::MessageIcon icon,
            platform::MessageButtons buttons);

    std::string logPath_;  // empty: boxes are shown
};

}  // namespace ui
