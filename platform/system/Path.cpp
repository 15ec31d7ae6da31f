#include "platform/system/Path.h"

namespace dirtally {

QString pathToText(const Path& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

Path pathFromText(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace dirtally
