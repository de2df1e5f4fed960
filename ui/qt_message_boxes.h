// Message boxes shown with Qt. A box is owned by the modal window active when it is shown,
// so that a box raised while a dialog runs stays on top of that dialog and blocks it; a
// box shown during start-up, before any dialog, has no owner.
#pragma once

#include <string>

#include "platform/message_box.h"

namespace ui {

class QtMessageBoxes final : public platform::MessageBoxes {
public:
    int Show(const std::string& text, const std::string& title, platform::MessageIcon icon,
             platform::MessageButtons buttons) override;
};

}  // namespace ui
