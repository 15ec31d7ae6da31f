// Which operation each event of the window, its controls and its menus runs.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QWindow>

#include "ui/Form1.h"

namespace dirtally {

namespace {
QAction* menuItem(const QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}
}  // namespace

void Form1::wireEvents() {
    connect(controls_.command1, &QPushButton::clicked, this, &Form1::command1Click);
    connect(controls_.command2, &QPushButton::clicked, this, &Form1::command2Click);
    connect(controls_.command4, &QPushButton::clicked, this, &Form1::command4Click);
    connect(controls_.command6, &QPushButton::clicked, this, &Form1::command6Click);
    connect(menuItem(this, "exit"), &QAction::triggered, this, &Form1::exitClick);
    connect(menuItem(this, "mnuwebpage"), &QAction::triggered, this, &Form1::mnuwebpageClick);
    connect(menuItem(this, "mnuemail"), &QAction::triggered, this, &Form1::mnuemailClick);
    connect(menuItem(this, "about"), &QAction::triggered, this, &Form1::aboutClick);
    // "No Sub-dirs" is a checkable item: a click or Ctrl+N reverses its check mark by itself.

    timer1_.setInterval(1);
    connect(&timer1_, &QTimer::timeout, this, &Form1::timer1Timer);

    // The window sees every key typed in it once, before the focused control: a key reaches the
    // window's own native window exactly once, whereas it travels up through the widgets from the
    // focused one, and a box closed by another key can leave the window without a focused widget
    // on the way. Keys typed into dialogs and message boxes go to their own windows.
    winId();
    windowHandle()->installEventFilter(this);
    // The mouse on its bare parts.
    client_->installEventFilter(this);
    frame1_->installEventFilter(this);
}

void Form1::command1Click() {
    operations_->folderChoice();
}
void Form1::command2Click() {
    operations_->outputChoice();
}
void Form1::command4Click() {
    operations_->makeList();
}
void Form1::command6Click() {
    operations_->viewList();
}
void Form1::timer1Timer() {
    operations_->clockTick();
}
void Form1::exitClick() {
    close();
}

}  // namespace dirtally
