// Drops the user's input to every window of the program while it lives: mouse, key, wheel,
// touch and close requests are swallowed, not deferred, so that nothing the user did
// during an update runs after it. Every other event (painting, timers) goes through.
#pragma once

#include <QObject>

class InputBlocker : public QObject {
public:
    InputBlocker();
    // Drops the input still waiting in the queue before letting input through again.
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

    // Runs the event loop once over what is waiting, input dropped.
    static void ProcessWaitingEvents();

    // True for the events this drops.
    static bool IsUserInput(const QEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
