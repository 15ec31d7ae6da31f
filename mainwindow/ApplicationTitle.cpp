#include "mainwindow/ApplicationTitle.h"

#include "VersionInfo.h"

namespace dirtally {

namespace {
// Qt's application display name would do, but Qt then appends it to every window title.
QString& title() {
    static QString value = QString::fromUtf8(version::title);
    return value;
}
}  // namespace

QString applicationTitle() {
    return title();
}

void setApplicationTitle(const QString& newTitle) {
    title() = newTitle;
}

}  // namespace dirtally
