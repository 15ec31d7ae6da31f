// The main window: its start-up, the clock, every key, click and close request, the right-click
// menu, its controls during a run, and its texts readable and whole. Where the controls stand is
// for the end-to-end suite, which sees the window as a user does.
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "MainWindowFixture.h"
#include "ui/AboutWindow.h"
#include "ui/Contrast.h"

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

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fixedSizeWithACloseBoxOnly() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QCOMPARE(f.form->minimumSize(), f.form->maximumSize());
        const Qt::WindowFlags flags = f.form->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    }

    void hiddenControlsAreNeverDrawn() {
        MainWindowFixture f;
        QVERIFY(f.show());
        for (const char* name : {"Label2", "Command1", "Command2", "Text2"}) {
            auto* widget = f.find<QWidget>(name);
            QVERIFY2(widget->isVisible(), name);
            QVERIFY2(widget->visibleRegion().isEmpty(), name);
        }
        QVERIFY(f.find<QPushButton>("Command1")->isEnabled());
        QVERIFY(!f.find<QLineEdit>("Text2")->isEnabled());
        QVERIFY(!f.find<QLabel>("Label1")->isVisible());
    }

    // The pictures and the pointer come from resources that a static library's link can drop.
    void resourcesAreLinkedIn() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QVERIFY(!f.find<QLabel>("Image1")->pixmap().isNull());
        QCOMPARE(f.find<QPushButton>("Command4")->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(f.find<QPushButton>("Command2")->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(f.find<QGroupBox>("Frame1")->cursor().shape(), Qt::ArrowCursor);
    }

    // Every text of both windows reads at 4.5:1 on what is behind it, and is drawn whole in the
    // fonts in use (CTest runs this again with DejaVu the only fonts there are).
    void readableAndWhole_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a));  // a dark Fusion
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        QTest::newRow("dark") << dark;
    }
    void readableAndWhole() {
        QFETCH(QPalette, palette);
        QVERIFY(contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) < 4.5);  // WCAG's own limits
        QVERIFY(contrastRatio(Qt::white, QColor(0x76, 0x76, 0x76)) >= 4.5);
        QApplication::setPalette(palette);
        MainWindowFixture f;
        QVERIFY(f.show());
        AboutWindow about(f.fakes.soundPlayer, f.fakes.instance, {});
        about.load();
        for (const QLabel* label :
             f.form->findChildren<QLabel*>() + about.findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label->visibleRegion().isEmpty()) {
                continue;  // nothing shown
            }
            const QWidget* behind = label;
            while (!behind->autoFillBackground() && !behind->isWindow()) {
                behind = behind->parentWidget();
            }
            const QString what = label->objectName() + ": " + label->text();
            QVERIFY2(contrastRatio(label->palette().color(label->foregroundRole()),
                                   behind->palette().color(behind->backgroundRole())) >= 4.5,
                     qPrintable(what));
            const QRect needed = label->fontMetrics().boundingRect(
                label->contentsRect(), int(label->alignment()) | Qt::TextWordWrap, label->text());
            QVERIFY2(label->contentsRect().contains(needed) &&
                         label->parentWidget()->rect().contains(label->geometry()),
                     qPrintable(what));
        }
        QApplication::setPalette(QPalette());
    }

    void startUpState() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QCOMPARE(f.form->windowTitle(), f.folder.path());
        QCOMPARE(f.find<QLabel>("Label2")->text(), f.folder.path());
        QVERIFY(!f.find<QPushButton>("Command6")->isEnabled());
        QVERIFY(f.find<QLabel>("Label10")->isEnabled());
        QVERIFY(f.form->findChild<QAction*>("nosubdir")->isChecked());
        // Both sizes of the icon, for the title bar and the task switcher.
        const QList<QSize> sizes = f.form->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
    }

    void tabOrder() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("Command2"));
        const char* expected[] = {"Command4", "Command1", "Command2", "Command4"};
        for (const char* name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(name));
        }
        f.find<QPushButton>("Command6")->setEnabled(true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("Command6"));
    }

    void refusedFromTheRootFolder() {
        MainWindowFixture f;
        f.fakes.process = FakeProcessInfo(pathFromText(f.folder.path()), "/");
        QVERIFY(!f.form->load());
        QVERIFY(!f.form->isVisible());
        QCOMPARE(f.fakes.messageBox.shown.size(), 1u);
        QCOMPARE(f.fakes.messageBox.shown.at(0).first, QStringLiteral("Dirtally error"));
        QCOMPARE(
            f.fakes.messageBox.shown.at(0).second,
            QStringLiteral("Dirtally can not be run from\r\na root directory, please reinstall."));
    }

    void clock_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("english") << "en_US"
                                 << "07:05:09";
        QTest::newRow("finnish") << "fi_FI"
                                 << "07.05.09";
        QTest::newRow("german") << "de_DE"
                                << "07:05:09";
    }
    void clock() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        MainWindowFixture f;
        f.fakes.clock = FakeClock(QDateTime(QDate(2026, 12, 6), QTime(7, 5, 9, 400)));
        QVERIFY(f.show());
        QTRY_COMPARE(f.find<QLabel>("Label4")->text(), text);
        // Woken again just after the turn of the second, 600 ms on: not at once, not a second on.
        const auto* timer = f.form->findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY2(timer->timerType() == Qt::PreciseTimer && timer->remainingTime() > 550 &&
                     timer->remainingTime() <= 601,
                 qPrintable(QString::number(timer->remainingTime())));
    }

    void endsOnEveryCloseRequest_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit") << 0;
        QTest::newRow("Ctrl+X") << 1;
        QTest::newRow("close box") << 2;
    }
    void endsOnEveryCloseRequest() {
        QFETCH(int, how);
        MainWindowFixture f;
        QVERIFY(f.show());
        if (how == 0) {
            f.form->findChild<QAction*>("exit")->trigger();
        } else if (how == 1) {
            QTest::keyClick(f.form.get(), Qt::Key_X, Qt::ControlModifier);
        } else {
            f.form->close();
        }
        QCOMPARE(f.fakes.process.exitCodes, std::vector<int>{0});
    }

    void altFOpensTheFileMenu() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QTest::keyClick(f.form.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(f.form->fileMenu()->isVisible());
        f.form->fileMenu()->close();
        QVERIFY(f.fakes.folderPicker.requests.empty());
        QCOMPARE(f.fakes.folders.spaceQueries.size(), 0u);
    }

    void ctrlNReachesNoSubdirs() {
        MainWindowFixture f;
        QVERIFY(f.show());
        auto* noSubdirs = f.form->findChild<QAction*>("nosubdir");
        auto* options = f.form->findChild<QMenu*>("option");
        QVERIFY(!options->menuAction()->isEnabled());
        QTest::keyClick(f.form.get(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!noSubdirs->isChecked());
        QTest::keyClick(f.form.get(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(noSubdirs->isChecked());
        QTest::keyClick(f.form.get(), Qt::Key_O, Qt::AltModifier);
        QVERIFY(!options->isVisible());
    }

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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
