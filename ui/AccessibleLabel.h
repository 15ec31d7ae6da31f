#pragma once

#include <QAccessible>
#include <QString>

class QLabel;

namespace dirtally {

// Gives a label the role that tells a screen reader what it is: the status line as a status bar,
// whose changes the reader announces, the clock as a clock. `name` is what the reader calls the
// label; empty, the label's own text is its name. Call once, before the window is shown.
void setAccessibleRole(QLabel* label, QAccessible::Role role, const QString& name = {});

}  // namespace dirtally
