// Which operation each event of the window, its controls and its menus runs.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QWindow>

#include "ui/MainWindow.h"

namespace dirtally {

namespace {
QAction* menuItem(const QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}
}  // namespace

void MainWindow::wireEvents() {
    connect(controls_.folderButton, &QPushButton::clicked, this, &MainWindow::folderClicked);
    connect(controls_.fileListButton, &QPushButton::clicked, this, &MainWindow::fileListClicked);
    connect(controls_.makeListButton, &QPushButton::clicked, this, &MainWindow::makeListClicked);
    connect(controls_.viewListButton, &QPushButton::clicked, this, &MainWindow::viewListClicked);
    connect(menuItem(this, "exit"), &QAction::triggered, this, &MainWindow::exitTriggered);
    connect(menuItem(this, "mnuwebpage"), &QAction::triggered, this, &MainWindow::webPageTriggered);
    connect(menuItem(this, "mnuemail"), &QAction::triggered, this, &MainWindow::emailTriggered);
    connect(menuItem(this, "about"), &QAction::triggered, this, &MainWindow::aboutTriggered);
    // "No Sub-dirs" is a checkable item: a click or Ctrl+N reverses its check mark by itself.

    // The clock shows seconds, so it wakes once a second, just after the system's second turns,
    // instead of every millisecond: an idle window then lets the processor sleep. A precise timer,
    // since a coarse one may be late by 5% of its interval.
    clockTimer_.setObjectName(QStringLiteral("Timer1"));
    clockTimer_.setParent(this);
    clockTimer_.setSingleShot(true);
    clockTimer_.setTimerType(Qt::PreciseTimer);
    connect(&clockTimer_, &QTimer::timeout, this, &MainWindow::clockTicked);

    // The window sees every key typed in it once, before the focused control: a key reaches the
    // window's own native window exactly once, whereas it travels up through the widgets from the
    // focused one, and a box closed by another key can leave the window without a focused widget
    // on the way. Keys typed into dialogs and message boxes go to their own windows.
    winId();
    windowHandle()->installEventFilter(this);
    // The mouse on its bare parts.
    client_->installEventFilter(this);
    frame_->installEventFilter(this);
}

void MainWindow::folderClicked() {
    operations_->folderChoice();
}
void MainWindow::fileListClicked() {
    operations_->outputChoice();
}
void MainWindow::makeListClicked() {
    operations_->makeList();
}
void MainWindow::viewListClicked() {
    operations_->viewList();
}
void MainWindow::clockTicked() {
    operations_->clockTick();
    // A millisecond past the turn of the second: a tick that came a little early sets the same
    // text and waits the millisecond or two that are left.
    constexpr int kPastTheTurnMs = 1;
    clockTimer_.start(1000 - services_.clock.now().time().msec() + kPastTheTurnMs);
}
void MainWindow::exitTriggered() {
    close();
}

}  // namespace dirtally
