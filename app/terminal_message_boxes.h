// Message boxes on a terminal: the title and the text go to standard error, and a Yes/No
// question is answered from standard input, or with Yes when --yes was given.
#pragma once

#include <cstdio>

#include "platform/message_box.h"

class TerminalMessageBoxes final : public platform::MessageBoxes {
public:
    // `input` null: no one can answer, every question is answered No (unless `answerYes`).
    TerminalMessageBoxes(std::FILE* output, std::FILE* input, bool answerYes, bool japanese);

    int Show(const std::string& text, const std::string& title, platform::MessageIcon icon,
             platform::MessageButtons buttons) override;

private:
    // Reads "y"/"yes" or "n"/"no" (any case); asks again on anything else; No at the end
    // of the input.
    bool ReadAnswer();

    std::FILE* output_;
    std::FILE* input_;
    bool answerYes_;
    bool japanese_;
};

// The text with its Windows line ends (CR LF) as plain line feeds.
std::string TerminalLines(const std::string& text);
