// Modal message boxes. The program's entry chooses the implementation (boxes shown by the
// window framework, or logged to a file); the layers below only see this interface.
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { Stop, Information, Question };
enum class MessageButtons { Ok, YesNo };

// Identifiers of the button that closed a box.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows `text` (UTF-8) modally, owned by the modal window active at the time (none
    // during start-up); returns the button's identifier.
    virtual int Show(const std::string& text, const std::string& title, MessageIcon icon,
                     MessageButtons buttons) = 0;
};

// Shows a box through the registered message boxes. Without any, writes "title: text" to
// standard error and answers No to a question, OK otherwise.
int ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                MessageButtons buttons);

}  // namespace platform
