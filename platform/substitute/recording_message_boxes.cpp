#include "platform/substitute/recording_message_boxes.h"

namespace platform::substitute {

int RecordingMessageBoxes::Show(const std::string& text, const std::string& title, MessageIcon icon,
                                MessageButtons buttons) {
    std::lock_guard<std::mutex> lock(mutex_);
    int answer = buttons == MessageButtons::YesNo ? kIdYes : kIdOk;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    boxes_.push_back({text, title, icon, buttons, answer});
    return answer;
}

void RecordingMessageBoxes::QueueAnswer(int answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(answer);
}

std::vector<RecordingMessageBoxes::Shown> RecordingMessageBoxes::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

}  // namespace platform::substitute
