#include "platform/message_box.h"

#include <cstdio>

#include "platform/platform.h"

namespace platform {

int ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                MessageButtons buttons) {
    MessageBoxes* messages = Platform().Messages;
    if (messages != nullptr) return messages->Show(text, title, icon, buttons);
    // No boxes registered (a driver without a user interface): the text still reaches the
    // user, and a question nobody can answer counts as No.
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return buttons == MessageButtons::YesNo ? kIdNo : kIdOk;
}

}  // namespace platform
