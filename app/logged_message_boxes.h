// Message boxes that are written to a file instead of being shown, so that the real
// program can run unattended in tests and scripts. Each box is answered with its default
// button: OK, or Yes for a Yes/No box, as Enter would answer it.
#pragma once

#include <string>

#include "platform/message_box.h"

class LoggedMessageBoxes final : public platform::MessageBoxes {
public:
    // Boxes are appended to the file at `logPath`.
    explicit LoggedMessageBoxes(std::string logPath) : logPath_(std::move(logPath)) {}

    // Appends one record: a header line, the text (which may span lines), an empty line.
    // When the file cannot be written the box goes to standard error instead, so that its
    // text still reaches someone.
    int Show(const std::string& text, const std::string& title, platform::MessageIcon icon,
             platform::MessageButtons buttons) override;

private:
    std::string logPath_;
};
