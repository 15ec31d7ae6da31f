// The right-click menu over the window's bare parts, and Esc as the key of "&Make list".
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "ui/Form1.h"

namespace dirtally {

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        return formKeyPress(watched, static_cast<QKeyEvent*>(event));
    }
    if (event->type() == QEvent::MouseButtonPress && (watched == client_ || watched == frame1_)) {
        return mouseDown(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::formKeyPress(QObject* receiver, QKeyEvent* event) {
    // A key travels up from the focused control; only its first delivery is this window's.
    QWidget* focus = QApplication::focusWidget();
    const bool first = focus ? receiver == focus : receiver == this;
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!first || !widget || widget->window() != this || event->key() != Qt::Key_Escape) {
        return false;
    }
    operations_->makeList();
    return false;  // the focused control still receives the key
}

bool Form1::mouseDown(QWidget* source, QMouseEvent* event) {
    // A press that reaches here from a control inside (a label, the inner frame) is not one on
    // the bare area.
    if (event->button() != Qt::RightButton || source->childAt(event->position().toPoint()) ||
        operations_->runActive()) {
        return false;
    }
    fileMenu_->popup(event->globalPosition().toPoint());
    return true;
}

}  // namespace dirtally
