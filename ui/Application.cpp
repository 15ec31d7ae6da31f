#include "ui/Application.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "VersionInfo.h"

namespace dirtally {

namespace {
// Qt's own messages while it connects to the display: held back, and shown once it has.
std::vector<std::pair<QtMsgType, QString>> heldMessages;

QByteArray displayVariable(const char* name) {
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? QByteArray(name) + " is not set" : name + ("=" + value);
}

void holdMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        heldMessages.emplace_back(type, message);
        return;
    }
    // Qt found no display to show the window on (none set, or none it can reach). Its own
    // reasons, one a line, say which and why; its advice to reinstall does not apply.
    QStringList reasons;
    for (const auto& [held, text] : heldMessages) {
        reasons << text.trimmed();
    }
    if (reasons.isEmpty()) {
        reasons << message.trimmed();
    }
    std::fprintf(stderr,
                 "dirtally: a graphical display is needed (%s, %s); dirtally-report writes the "
                 "same report without one\ndirtally: %s\n",
                 displayVariable("DISPLAY").constData(),
                 displayVariable("WAYLAND_DISPLAY").constData(),
                 qPrintable(reasons.join(QStringLiteral("\ndirtally: "))));
    std::_Exit(1);
}

bool platformChosen(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0) {
            return true;
        }
    }
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The window has a fixed size. On a Wayland session Qt 6.4 would choose Wayland by itself and
// draw its own title bar, with a maximise button whatever the window asks for; Weston honours it
// with a size the window cannot take and ends the connection, and so the program. Through
// XWayland the window manager sees the fixed size and offers no maximise, on GNOME, KDE and
// Weston alike. So X11 wherever an X server can be reached, Wayland only where none can; there,
// without Qt's title bar (a compositor that draws title bars of its own, as KDE's does, still
// draws one, and honours the fixed size). A platform the user named wins.
std::vector<char*> withPlatform(int& argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    if (!platformChosen(argc, argv)) {
        static char option[] = "-platform";
        static char x11First[] = "xcb;wayland";
        static char waylandFirst[] = "wayland;xcb";
        arguments.insert(
            arguments.begin() + 1,
            {option, qEnvironmentVariableIsEmpty("DISPLAY") ? waylandFirst : x11First});
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
    }
    argc = int(arguments.size());
    arguments.push_back(nullptr);
    return arguments;
}
}  // namespace

std::unique_ptr<QApplication> startApplication(int& argc, char** argv) {
    // QApplication keeps the arguments for its whole life.
    static std::vector<char*> arguments = withPlatform(argc, argv);
    // The window is small: X11's shared memory saves nothing in drawing it, and costs the idle
    // window two more wake-ups a second, for the server's note that each clock tick's picture
    // has been read. Read when Qt connects; the programs the window starts do not inherit it.
    const bool shm = qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (!shm) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, arguments.data());
    qInstallMessageHandler(previous);
    if (!shm) {
        qunsetenv("QT_XCB_NO_MITSHM");
    }
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
