#include "ui/fonts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QString>

namespace ui {

namespace {

constexpr size_t kFaceNameRoom = 31;  // characters of a face name that are kept
constexpr int kDefaultDpi = 96;
const char kBoldSuffix[] = " Bold";

}  // namespace

int ScreenDpiY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return kDefaultDpi;
    const int dpi = static_cast<int>(screen->logicalDotsPerInchY());
    return dpi > 0 ? dpi : kDefaultDpi;
}

QFont FaceFont(const std::string& faceName) {
    // Characters, not bytes: the Japanese face names are several bytes per character.
    QString face = QString::fromUtf8(faceName.data(), static_cast<qsizetype>(faceName.size()));
    if (face.size() > static_cast<qsizetype>(kFaceNameRoom)) face.truncate(kFaceNameRoom);
    QFont font;
    const QString bold = QString::fromLatin1(kBoldSuffix);
    if (face.endsWith(bold) && face.size() > bold.size()) {
        face.chop(bold.size());
        font.setBold(true);
    }
    font.setFamily(face);
    return font;
}

int TruncatedPixelHeight(int tenths, int dpiY) { return dpiY * tenths / 720; }

int RoundedPixelHeight(int points, int dpiY) { return (points * dpiY + 36) / 72; }

void InstallFontSubstitutions() {
    struct Substitution {
        const char* face;
        const char* replacements[2];
    };
    // For the Japanese names: the proportional face for the proportional name, the
    // fixed-pitch one for the other, each with the other as a second choice. For Tahoma,
    // which fontconfig would give the wide DejaVu Sans, the narrower Liberation Sans: the
    // notice was written to fill its box in a narrow face.
    static const Substitution substitutions[] = {
        {"ＭＳ ゴシック", {"IPAGothic", "IPAPGothic"}},
        {"ＭＳ Ｐゴシック", {"IPAPGothic", "IPAGothic"}},
        {"Tahoma", {"Liberation Sans", "DejaVu Sans"}},
    };
    for (const Substitution& s : substitutions) {
        const QString face = QString::fromUtf8(s.face);
        QFont::insertSubstitutions(
            face, {QString::fromUtf8(s.replacements[0]), QString::fromUtf8(s.replacements[1])});
    }
}

}  // namespace ui
