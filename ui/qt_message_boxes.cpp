#include "ui/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace ui {

namespace {

QMessageBox::Icon QtIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Stop: return QMessageBox::Critical;
    case platform::MessageIcon::Information: return QMessageBox::Information;
    case platform::MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int QtMessageBoxes::Show(const std::string& text, const std::string& title,
                         platform::MessageIcon icon, platform::MessageButtons buttons) {
    const bool yesNo = buttons == platform::MessageButtons::YesNo;
    QMessageBox box(QtIcon(icon), FromUtf8(title), FromUtf8(text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeModalWidget());
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    if (!yesNo) return platform::kIdOk;
    // Closing a Yes/No box any other way (Escape, the window's close button) is a No.
    return pressed == QMessageBox::Yes ? platform::kIdYes : platform::kIdNo;
}

}  // namespace ui
