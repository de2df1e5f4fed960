#include "ui/qt_message_boxes.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include <QMessageBox>
#include <QString>

namespace ui {

namespace {

const char* IconName(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Stop:
        return "stop";
    case platform::MessageIcon::Information:
        return "information";
    case platform::MessageIcon::Question:
        return "question";
    }
    return "?";
}

QMessageBox::Icon QtIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Stop:
        return QMessageBox::Critical;
    case platform::MessageIcon::Information:
        return QMessageBox::Information;
    case platform::MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The button that Enter presses: the first one, as in a Windows message box.
int DefaultAnswer(platform::MessageButtons buttons) {
    return buttons == platform::MessageButtons::YesNo ? platform::kIdYes : platform::kIdOk;
}

}  // namespace

QtMessageBoxes::QtMessageBoxes() {
    const char* log = std::getenv("ZVFIRM_MESSAGE_LOG");
    if (log != nullptr) logPath_ = log;
}

int QtMessageBoxes::Show(const std::string& text, const std::string& title,
                         platform::MessageIcon icon, platform::MessageButtons buttons) {
    if (!logPath_.empty()) return Log(text, title, icon, buttons);

    const bool yesNo = buttons == platform::MessageButtons::YesNo;
    QMessageBox box(QtIcon(icon), QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, nullptr);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    if (!yesNo) return platform::kIdOk;
    // Closing a Yes/No box any other way (Escape, the window's close button) is a No.
    return pressed == QMessageBox::Yes ? platform::kIdYes : platform::kIdNo;
}

// One record per box: a header line, the text (which may span lines), an empty line.
int QtMessageBoxes::Log(const std::string& text, const std::string& title,
                        platform::MessageIcon icon, platform::MessageButtons buttons) {
    const int answer = DefaultAnswer(buttons);
    // Not inherited by anything the program starts, and never written through a link
    // planted at the log's name.
    const int fd = open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                        0666);
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "a");
    if (file == nullptr && fd >= 0) close(fd);
    if (file == nullptr) {
        std::fprintf(stderr, "zvfirm: cannot append to ZVFIRM_MESSAGE_LOG %s: %s: %s\n",
                     logPath_.c_str(), title.c_str(), text.c_str());
        return answer;
    }
    std::fprintf(file, "[%s] icon=%s buttons=%s answer=%d\n%s\n\n", title.c_str(),
                 IconName(icon), buttons == platform::MessageButtons::YesNo ? "yes-no" : "ok",
                 answer, text.c_str());
    std::fclose(file);
    return answer;
}

}  // namespace ui
