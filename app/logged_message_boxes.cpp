#include "app/logged_message_boxes.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char* IconName(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Stop: return "stop";
    case platform::MessageIcon::Information: return "information";
    case platform::MessageIcon::Question: return "question";
    }
    return "?";
}

// The button that Enter presses: the first one, as in a Windows message box.
int DefaultAnswer(platform::MessageButtons buttons) {
    return buttons == platform::MessageButtons::YesNo ? platform::kIdYes : platform::kIdOk;
}

}  // namespace

int LoggedMessageBoxes::Show(const std::string& text, const std::string& title,
                             platform::MessageIcon icon, platform::MessageButtons buttons) {
    const int answer = DefaultAnswer(buttons);
    // Not inherited by anything the program starts, and never written through a link
    // planted at the log's name.
    const int fd =
        open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "a");
    if (file == nullptr && fd >= 0) close(fd);
    if (file == nullptr) {
        std::fprintf(stderr, "zvfirm: cannot append to ZVFIRM_MESSAGE_LOG %s: %s: %s\n",
                     logPath_.c_str(), title.c_str(), text.c_str());
        return answer;
    }
    std::fprintf(file, "[%s] icon=%s buttons=%s answer=%d\n%s\n\n", title.c_str(), IconName(icon),
                 buttons == platform::MessageButtons::YesNo ? "yes-no" : "ok", answer,
                 text.c_str());
    std::fclose(file);
    return answer;
}
