// Texts from the configuration file are bytes: shown as UTF-8 when they are valid UTF-8,
// else decoded from the language's legacy code page (932 for Japanese, 1252 otherwise).
#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace ui {

QString ShownText(std::string_view bytes, bool japanese);
// The same, as UTF-8 bytes.
std::string ShownUtf8(std::string_view bytes, bool japanese);
// A zero-terminated field of at most `room` bytes.
std::string_view FieldText(const char* field, size_t room);

}  // namespace ui
