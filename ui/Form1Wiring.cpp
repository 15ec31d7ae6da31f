// Which operation each event of the window, its controls and its menus runs.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>

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

    // The window sees every key before the focused control, and the mouse on its bare parts.
    qApp->installEventFilter(this);
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
