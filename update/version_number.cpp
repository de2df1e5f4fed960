#include "update/version_number.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

// One C locale for the whole run, made on first use (thread-safe); null when the system
// could not make it.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

// Without a locale object: what "%f" reads in the C locale, for the shapes a version
// string can have (leading blanks and a sign, digits, a point, an exponent).
float ReadWithoutLocale(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    if (*text == '+' && text[1] != '-') ++text;
    float value = 0.0f;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

}  // namespace

float ReadVersionNumber(const char* fourCharacters) {
    char text[5] = {};
    std::memcpy(text, fourCharacters, 4);
    const locale_t c = CLocale();
    if (c == static_cast<locale_t>(0)) return ReadWithoutLocale(text);
    // The C locale for this thread only, for the length of the conversion: the rest of
    // the program (and the window framework) keeps the user's locale.
    const locale_t previous = uselocale(c);
    float value = 0.0f;
    if (std::sscanf(text, "%f", &value) != 1) value = 0.0f;
    uselocale(previous);
    return value;
}
