#pragma once

#include <QApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

namespace dirtally::test {

// Runs `drive` on the next modal dialog of type Dialog once it is up. A dialog that `drive`
// leaves open, because a check inside it failed, is rejected so that the test never hangs in the
// dialog's own event loop.
template <class Dialog, class Drive>
void driveNextModal(Drive drive) {
    QTimer::singleShot(0, [drive] {
        QPointer<Dialog> dialog;
        auto closeLeftOver = qScopeGuard([&dialog] {
            if (dialog && dialog->isVisible()) {
                dialog->reject();
            }
        });
        QTRY_VERIFY((dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())));
        drive(dialog.data());
    });
}

}  // namespace dirtally::test
