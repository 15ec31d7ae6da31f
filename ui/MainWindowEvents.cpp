// The right-click menu over the window's bare parts, and Esc as the key of "&Make list".
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWindow>

#include "ui/MainWindow.h"

namespace dirtally {

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == windowHandle()) {
        keyPressed(static_cast<QKeyEvent*>(event));
        return false;  // the focused control still receives the key
    }
    if (event->type() == QEvent::MouseButtonPress && (watched == client_ || watched == frame_)) {
        return mousePressed(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressed(QKeyEvent* event) {
    // While a menu or the menu bar has the keyboard, Esc closes it: Qt hands that key to this
    // window first (an open menu takes the keys of the window it belongs to), but it is the menu's.
    const bool menuHasKeyboard =
        QApplication::activePopupWidget() != nullptr || menuBar()->hasFocus();
    if (event->key() == Qt::Key_Escape && !menuHasKeyboard) {
        operations_->makeList();
    }
}

bool MainWindow::mousePressed(QWidget* source, QMouseEvent* event) {
    // A press that reaches here from a control inside (a label, the inner frame) is not one on
    // the bare area.
    if (event->button() != Qt::RightButton || source->childAt(event->position().toPoint()) ||
        operations_->runState() == RunState::Running) {
        return false;
    }
    fileMenu_->popup(event->globalPosition().toPoint());
    return true;
}

}  // namespace dirtally
