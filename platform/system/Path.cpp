#include "platform/system/Path.h"

#include <QStringDecoder>

namespace dirtally {

QString pathToText(const Path& path) {
    // Not QString::fromUtf8: it drops a leading byte order mark, which on disk is part of the
    // name (U+FEFF), so that "\uFEFFabc" would be shown, and typed back, as "abc".
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
}

Path pathFromText(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace dirtally
