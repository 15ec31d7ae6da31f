#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include "ModalDriver.h"
#include "platform/desktop/linux/QtMessageBox.h"

using dirtally::test::driveNextModal;

class MessageBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void criticalShowsTitleTextAndOneOk();
};

void MessageBoxTest::criticalShowsTitleTextAndOneOk() {
    bool shown = false;
    // Markup in a path must show as typed.
    const QString text = "Read-only drive, pick another\n/media/<b>cd</b>";
    driveNextModal<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->objectName(), "criticalMessageBox");
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowTitle(), "Dirtally error");
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QVERIFY(box->isModal());
        shown = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    dirtally::QtMessageBox().critical(nullptr, "Dirtally error", text);
    QVERIFY(shown);
}

QTEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
