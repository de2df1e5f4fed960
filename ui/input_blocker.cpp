#include "ui/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

InputBlocker::InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }

InputBlocker::~InputBlocker() {
    ProcessWaitingEvents();
    QCoreApplication::instance()->removeEventFilter(this);
}

void InputBlocker::ProcessWaitingEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool InputBlocker::IsUserInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close: return true;
    default: return false;
    }
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(*event)) return QObject::eventFilter(watched, event);
    // A close request left accepted would still close the window.
    event->ignore();
    return true;
}
