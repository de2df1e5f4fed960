#include "ui/shown_text.h"

#include <cerrno>
#include <cstring>

#include <iconv.h>

#include <QStringDecoder>

namespace ui {

namespace {

bool IsUtf8(std::string_view bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

// Decodes with iconv; a byte that cannot be decoded becomes U+FFFD and decoding goes on.
std::string FromCodePage(std::string_view bytes, const char* codePage) {
    iconv_t converter = iconv_open("UTF-8", codePage);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
    std::string out;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

}  // namespace

std::string ShownUtf8(std::string_view bytes, bool japanese) {
    if (IsUtf8(bytes)) return std::string(bytes);
    return FromCodePage(bytes, japanese ? "CP932" : "WINDOWS-1252");
}

QString ShownText(std::string_view bytes, bool japanese) {
    const std::string utf8 = ShownUtf8(bytes, japanese);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string_view FieldText(const char* field, size_t room) {
    return std::string_view(field, strnlen(field, room));
}

}  // namespace ui
