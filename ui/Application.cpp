#include "ui/Application.h"

#include <QGuiApplication>

#include "VersionInfo.h"

namespace dirtally {

void applyVersionRecord() {
    QGuiApplication::setApplicationName(QString::fromUtf8(version::internalName));
    QGuiApplication::setApplicationVersion(QString::fromUtf8(version::fileVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("dirtally"));
}

}  // namespace dirtally
