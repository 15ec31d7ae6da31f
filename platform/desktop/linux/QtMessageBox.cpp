#include "platform/desktop/linux/QtMessageBox.h"

#include <QMessageBox>

namespace dirtally {

void QtMessageBox::critical(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("criticalMessageBox"));
    // Paths in the text are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace dirtally
