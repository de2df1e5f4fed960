// Fonts asked for by face name and size as the dialogs name them, and the substitutions
// that give the Japanese face names a face with Japanese glyphs.
#pragma once

#include <string>

#include <QFont>

namespace ui {

// The screen's vertical resolution in dots per inch (96 when there is no screen).
int ScreenDpiY();

// A font of the named face: the name is cut to 31 characters, and a name ending in
// " Bold" asks for the face without that word, in bold. No size is set.
QFont FaceFont(const std::string& faceName);

// Character height in pixels of a font of `tenths` of a point: truncated toward zero, as
// the colour label makes its fonts.
int TruncatedPixelHeight(int tenths, int dpiY);
// Character height in pixels of a dialog font of `points`: rounded to the nearest pixel.
int RoundedPixelHeight(int points, int dpiY);

// Maps the Japanese face names the dialogs ask for to the IPA Gothic faces (fontconfig
// maps them only for text tagged as Japanese), and Tahoma to a face as narrow as it is.
// Called once before any dialog is made.
void InstallFontSubstitutions();

}  // namespace ui
