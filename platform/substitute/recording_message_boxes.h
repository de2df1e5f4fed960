// Message boxes for tests: every box is recorded, and answered from a queue of scripted
// answers, else with its default button (OK, or Yes for a Yes/No box).
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace platform::substitute {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string title;
        MessageIcon icon;
        MessageButtons buttons;
        int answer;
    };

    int Show(const std::string& text, const std::string& title, MessageIcon icon,
             MessageButtons buttons) override;

    // The answer to the next box not yet answered by an earlier queued answer.
    void QueueAnswer(int answer);
    std::vector<Shown> Boxes() const;

private:
    mutable std::mutex mutex_;
    std::deque<int> answers_;
    std::vector<Shown> boxes_;
};

}  // namespace platform::substitute
