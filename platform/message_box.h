// Modal message boxes. The window framework's implementation is registered at start-up by
// the user interface; the layers below only see this interface.
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
    // Shows `text` (UTF-8) modally with no owner window; returns the button's identifier.
    virtual int Show(const std::string& text, const std::string& title, MessageIcon icon,
                     MessageButtons buttons) = 0;
};

}  // namespace platform
