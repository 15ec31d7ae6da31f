// The right-click menu, Esc as the key of "&Make list", and the Help menu's links.
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "MainWindowFixture.h"

using namespace dirtally;
using namespace dirtally::test;

namespace {
// What a screen reader would read of a control.
QString heard(QWidget* control, QAccessible::Text text = QAccessible::Name) {
    return QAccessible::queryAccessibleInterface(control)->text(text);
}

// Clicks a mouse button on a widget's point as the window system would deliver it.
void press(MainWindow& form, QWidget* on, QPoint at, Qt::MouseButton button) {
    const QPoint inWindow = on->mapTo(&form, at);
    QTest::mouseClick(form.windowHandle(), button, {}, inWindow);
}

QByteArray report(const MainWindowFixture& f) {
    QFile file(f.folder.filePath(QStringLiteral("Dirtallied.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

class TestMainWindowEvents : public QObject {
    Q_OBJECT

  private slots:
    void popupOnTheBareArea_data() {
        QTest::addColumn<QString>("on");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("opens");
        QTest::newRow("window margin") << "client" << QPoint(2, 2) << int(Qt::RightButton) << true;
        QTest::newRow("Frame1") << "Frame1" << QPoint(160, 20) << int(Qt::RightButton) << true;
        QTest::newRow("left button") << "Frame1" << QPoint(160, 20) << int(Qt::LeftButton) << false;
        QTest::newRow("middle button")
            << "Frame1" << QPoint(160, 20) << int(Qt::MiddleButton) << false;
        QTest::newRow("a button") << "Command4" << QPoint(5, 5) << int(Qt::RightButton) << false;
        QTest::newRow("Frame2") << "Frame2" << QPoint(3, 3) << int(Qt::RightButton) << false;
        QTest::newRow("a label") << "Label3" << QPoint(5, 5) << int(Qt::RightButton) << false;
        QTest::newRow("the picture") << "Image1" << QPoint(5, 5) << int(Qt::RightButton) << false;
    }
    void popupOnTheBareArea() {
        QFETCH(QString, on);
        QFETCH(QPoint, at);
        QFETCH(int, button);
        QFETCH(bool, opens);
        MainWindowFixture f;
        QVERIFY(f.show());
        QWidget* target = f.form->findChild<QWidget*>(on);
        QVERIFY(target);
        press(*f.form, target, at, Qt::MouseButton(button));
        QMenu* file = f.form->fileMenu();
        if (opens) {
            QTRY_VERIFY(file->isVisible());
            QCOMPARE(file->actions().size(), 1);
            QCOMPARE(file->actions().at(0)->text(), QStringLiteral("E&xit"));
            file->close();
        } else {
            QTest::qWait(50);  // give a wrongly opened menu the chance to show
            QVERIFY(!file->isVisible());
        }
    }

    void noPopupDuringARun() {
        MainWindowFixture f;
        QVERIFY(f.show());
        bool checked = false;
        f.fakes.folders.onWait = [&](std::size_t) {
            if (!checked) {
                checked = true;
                press(*f.form, f.find<QWidget>("Frame1"), QPoint(160, 20), Qt::RightButton);
                QVERIFY(!f.form->fileMenu()->isVisible());
            }
        };
        f.find<QPushButton>("Command4")->click();
        QVERIFY(checked);
        press(*f.form, f.find<QWidget>("Frame1"), QPoint(160, 20), Qt::RightButton);
        QTRY_VERIFY(f.form->fileMenu()->isVisible());
        f.form->fileMenu()->close();
    }

    void escStartsAbortsAndStartsAgain() {
        MainWindowFixture f;
        QVERIFY(f.show());
        auto* makeList = f.find<QPushButton>("Command4");
        makeList->setEnabled(false);  // Esc starts a run all the same
        int waits = 0;
        f.fakes.folders.onWait = [&](std::size_t) {
            if (++waits == 1) {
                QCOMPARE(makeList->text(), QStringLiteral("&Abort"));
                QTest::keyClick(f.form->windowHandle(), Qt::Key_Escape);
                QCOMPARE(makeList->text(), QStringLiteral("&Make list"));
            }
        };
        QTest::keyClick(f.form->windowHandle(), Qt::Key_Escape);
        QCOMPARE(waits, 1);
        QCOMPARE(f.find<QLabel>("Label10")->text(), QStringLiteral("- Done -"));
        const QByteArray aborted = report(f);
        QVERIFY(aborted.contains("---------------"));
        QVERIFY(!aborted.contains("B "));

        QTest::keyClick(f.form->windowHandle(), Qt::Key_Escape);
        QCOMPARE(waits, 3);
        QVERIFY(report(f).contains("B "));
        QVERIFY(report(f).contains("A "));
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Dirtally"));
    }

    // A key that closes or moves through a menu is the menu's: only a later Esc starts a run.
    void keysAMenuTakesNeverStartARun_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("Alt+F Esc Esc") << QStringList{"Alt+F", "Esc", "Esc"};
        QTest::newRow("Alt+O Esc") << QStringList{"Alt+O", "Esc"};
        QTest::newRow("Alt+H arrows Esc Esc")
            << QStringList{"Alt+H", "Down", "Up", "Right", "Left", "Esc", "Esc"};
    }
    void keysAMenuTakesNeverStartARun() {
        QFETCH(QStringList, keys);
        MainWindowFixture f;
        QVERIFY(f.show());
        for (const QString& key : keys) {
            QTest::keySequence(f.form->windowHandle(), QKeySequence(key));
        }
        QVERIFY(report(f).isEmpty());
        QTRY_VERIFY(!QApplication::activePopupWidget() && !f.form->menuBar()->hasFocus());
        QTest::keyClick(f.form->windowHandle(), Qt::Key_Escape);
        QVERIFY(!report(f).isEmpty());
    }

    void closeDuringARunKeepsTheLinesWritten() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QByteArray atClose;
        // The close box is clicked while the second folder is sized, and handled in the yield.
        f.fakes.folders.notYet = {1};
        f.fakes.folders.onWait = [&](std::size_t root) {
            if (root == 1 && atClose.isEmpty()) {
                QTimer::singleShot(0, f.form.get(), [&] {
                    f.form->close();
                    atClose = report(f);
                });
            }
        };
        f.find<QPushButton>("Command4")->click();
        QCOMPARE(f.fakes.process.exitCodes, std::vector<int>{0});
        // The header and the first folder's line were on disk when the program ended.
        QVERIFY(atClose.startsWith("\r\nDirtally by "));
        QVERIFY(atClose.endsWith("             2\r\n"));
    }

    void runStateOfTheControls() {
        MainWindowFixture f;
        QVERIFY(f.show());
        f.fakes.folders.onWait = [&](std::size_t) {
            QVERIFY(!f.find<QPushButton>("Command1")->isEnabled());
            QVERIFY(!f.find<QPushButton>("Command6")->isEnabled());
            QCOMPARE(f.find<QLabel>("Label10")->text(), QStringLiteral("Please Wait ..."));
            QCOMPARE(heard(f.find<QLabel>("Label10")), QStringLiteral("Please Wait ..."));
            QCOMPARE(f.form->cursor().shape(), Qt::WaitCursor);
        };
        f.find<QPushButton>("Command4")->click();
        QVERIFY(f.find<QPushButton>("Command1")->isEnabled());
        QVERIFY(f.find<QPushButton>("Command6")->isEnabled());
        QCOMPARE(f.form->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("Command2"));
        // A status bar, so that its changes are announced; the picture and the clock named.
        auto* status = f.find<QLabel>("Label10");
        QCOMPARE(QAccessible::queryAccessibleInterface(status)->role(), QAccessible::StatusBar);
        QCOMPARE(heard(status), QStringLiteral("- Done -"));
        QVERIFY(!heard(f.find<QWidget>("Image1")).isEmpty());
        QCOMPARE(heard(f.find<QWidget>("Label4"), QAccessible::Value),
                 f.find<QLabel>("Label4")->text());
    }

    void helpLinks() {
        MainWindowFixture f;
        QVERIFY(f.show());
        f.form->findChild<QAction*>("mnuwebpage")->trigger();
        f.form->findChild<QAction*>("mnuwebpage")->trigger();
        f.form->findChild<QAction*>("mnuemail")->trigger();
        QCOMPARE(
            f.fakes.urlOpener.opened,
            QList<QUrl>({QUrl("http://dirtally.example.com"), QUrl("http://dirtally.example.com"),
                         QUrl("mailto:sales@dirtally.example.com")}));
    }

    void aboutPlaysTheSoundBesideTheProgram() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QTest::keyClick(f.form.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.fakes.soundPlayer.played.size(), 1);
        QVERIFY(f.fakes.soundPlayer.played.at(0).endsWith("/thunder.wav"));
    }
};

QTEST_MAIN(TestMainWindowEvents)
#include "tst_mainwindowevents.moc"
