#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include "platform/desktop/WindowHints.h"

namespace dirtally {

MainWindow::MainWindow(Services& services, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      services_(services) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Dirtally"));
    // Each size drawn for itself, so that the title bar, the task switcher and a scaled screen
    // each get a sharp picture.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/dirtally/icon%1.png").arg(size));
    }
    setWindowIcon(icon);
    buildControls();
    buildMenus();
    setFixedClientSize();
    operations_ = std::make_unique<MainWindowOperations>(controls_, services_);
    wireEvents();
}

MainWindow::~MainWindow() = default;

bool MainWindow::load() {
    if (!operations_->startUp()) {
        return false;
    }
    clockTimer_.start();
    // A later instance's About command asks this one to come forward.
    services_.instance.onRaiseRequest([this] {
        showNormal();
        raise();
        activateWindow();
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    keepOutOfTaskBar(this);
    return true;
}

// The window has one size. Some window managers maximise it all the same (Weston's for X11
// windows, matchbox): it goes back to its size at once, as if the request had been refused.
void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    const Qt::WindowStates resized = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & resized)) {
        QTimer::singleShot(0, this, [this, resized] { setWindowState(windowState() & ~resized); });
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    operations_->shutdown();
}

}  // namespace dirtally
