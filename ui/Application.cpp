#include "ui/Application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "VersionInfo.h"

namespace dirtally {

namespace {
// Qt's own messages while it connects to the display: held back, and shown once it has.
std::vector<std::pair<QtMsgType, QString>> heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        heldMessages.emplace_back(type, message);
        return;
    }
    // Qt found no display to show the window on (none set, or it cannot be reached).
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray where = display.isEmpty() ? QByteArrayLiteral("DISPLAY is not set")
                                               : "DISPLAY=" + display + " cannot be used";
    std::fprintf(stderr,
                 "dirtally: a graphical display is needed (%s); dirtally-report writes the same "
                 "report without one\n",
                 where.constData());
    std::_Exit(1);
}
}  // namespace

std::unique_ptr<QApplication> startApplication(int& argc, char** argv) {
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, message] : heldMessages) {
        previous(type, QMessageLogContext(), message);
    }
    heldMessages.clear();
    return application;
}

void applyVersionRecord() {
    QGuiApplication::setApplicationName(QString::fromUtf8(version::internalName));
    QGuiApplication::setApplicationVersion(QString::fromUtf8(version::fileVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("dirtally"));
}

}  // namespace dirtally
