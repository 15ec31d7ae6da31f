#pragma once

#include <QRect>
#include <QString>

namespace dirtally {

// Names a control and puts it where the window's design has it, in pixels of its container.
template <typename W>
W* place(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace dirtally
