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
    // Both sizes, so that the title bar and the task switcher each get a sharp picture.
    QIcon icon;
    icon.addFile(QStringLiteral(":/dirtally/icon16.png"));
    icon.addFile(QStringLiteral(":/dirtally/icon32.png"));
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

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    operations_->shutdown();
}

}  // namespace dirtally
