// A folder's name, any bytes, through the report's renderings: what comes out must be valid text
// on one line, and a name that already was such text must come out as it is.
#include <QStringDecoder>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "listing/ReportFormat.h"

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7f;
}

// Valid UTF-16 (so its UTF-8 is valid) without a character that could end a report line. The
// decoder keeps a leading U+FEFF, which QString::fromUtf8 would drop.
bool clean(const QString& text) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return QString(decoder.decode(text.toUtf8())) == text &&
           std::none_of(text.begin(), text.end(), [](QChar c) { return isControl(c.unicode()); });
}

qsizetype codePoints(const QString& text) {
    return static_cast<qsizetype>(text.toUcs4().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString safe = dirtally::report::safeName(bytes);
    const QString display = dirtally::report::displayName(safe);
    if (!clean(safe) || !clean(display)) {
        std::abort();
    }
    const bool plainText =
        std::none_of(bytes.begin(), bytes.end(), [](unsigned char c) { return isControl(c); }) &&
        !safe.contains(QChar::ReplacementCharacter);
    if (plainText && safe.toUtf8().toStdString() != bytes) {
        std::abort();
    }
    // Case mappings may turn one character into two ("ß" into "SS"), never into none.
    if (codePoints(display) < codePoints(safe)) {
        std::abort();
    }
    return 0;
}
