#include "app/terminal_message_boxes.h"

#include <cctype>
#include <string>

TerminalMessageBoxes::TerminalMessageBoxes(std::FILE* output, std::FILE* input, bool answerYes,
                                           bool japanese)
    : output_(output), input_(input), answerYes_(answerYes), japanese_(japanese) {}

std::string TerminalLines(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lines += text[i];
    }
    return lines;
}

int TerminalMessageBoxes::Show(const std::string& text, const std::string& title,
                               platform::MessageIcon /*icon*/, platform::MessageButtons buttons) {
    std::fprintf(output_, "%s\n%s\n", title.c_str(), TerminalLines(text).c_str());
    if (buttons == platform::MessageButtons::Ok) {
        std::fputc('\n', output_);
        std::fflush(output_);
        return platform::kIdOk;
    }
    const char* prompt = japanese_ ? "[y/n] (はい/いいえ) " : "[y/n] ";
    std::fputs(prompt, output_);
    bool yes = false;
    if (answerYes_) {
        std::fputs("y (--yes)\n", output_);
        yes = true;
    } else {
        std::fflush(output_);
        yes = ReadAnswer();
    }
    std::fputc('\n', output_);
    std::fflush(output_);
    return yes ? platform::kIdYes : platform::kIdNo;
}

bool TerminalMessageBoxes::ReadAnswer() {
    for (;;) {
        if (input_ == nullptr) {
            std::fputs("n (no input)\n", output_);
            return false;
        }
        std::string line;
        int c;
        while ((c = std::fgetc(input_)) != EOF && c != '\n') line += static_cast<char>(c);
        if (c == EOF && line.empty()) {
            std::fputs("n (end of input)\n", output_);
            return false;
        }
        std::string word;
        for (char ch : line)
            if (!std::isspace(static_cast<unsigned char>(ch)))
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (word == "y" || word == "yes" || word == "はい") return true;
        if (word == "n" || word == "no" || word == "いいえ") return false;
        if (c == EOF) return false;
        std::fputs(japanese_ ? "y か n で答えて下さい: " : "Please answer y or n: ", output_);
        std::fflush(output_);
    }
}
