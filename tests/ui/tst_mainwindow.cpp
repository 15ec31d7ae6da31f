// The main window as it opens: its controls, focus order, start-up state, clock, menus and how
// it ends.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include "MainWindowFixture.h"
#include "ui/AboutWindow.h"
#include "ui/Contrast.h"

using namespace dirtally;
using namespace dirtally::test;

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fixedClientArea() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QCOMPARE(f.form->centralWidget()->size(), QSize(263, 167));
        QCOMPARE(f.form->minimumSize(), f.form->maximumSize());
        QCOMPARE(f.form->height(), 167 + f.form->menuBar()->height());
        const Qt::WindowFlags flags = f.form->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Frame1") << "Frame1" << QRect(5, 3, 254, 160) << "";
        QTest::newRow("Image1") << "Image1" << QRect(23, 14, 32, 32) << "";
        QTest::newRow("Frame2") << "Frame2" << QRect(20, 51, 216, 35) << "";
        QTest::newRow("Label10") << "Label10" << QRect(52, 13, 101, 16) << "Press Make List";
        QTest::newRow("Command4") << "Command4" << QRect(19, 95, 97, 23) << "&Make list";
        QTest::newRow("Command6") << "Command6" << QRect(139, 95, 97, 23) << "&View list";
        QTest::newRow("Label3") << "Label3" << QRect(7, 131, 137, 22) << "dirtally.example.com";
        QTest::newRow("Label1") << "Label1" << QRect(202, 33, 37, 16)
                                << "Enter Header For Output List";
        QTest::newRow("Command1") << "Command1" << QRect(212, 273, 64, 23) << "&Folder";
        QTest::newRow("Command2") << "Command2" << QRect(282, 279, 55, 23) << "&File list";
        QTest::newRow("Text2") << "Text2" << QRect(24, 221, 241, 19) << "";
        QTest::newRow("Label2") << "Label2" << QRect(13, 181, 176, 20) << "";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        MainWindowFixture f;
        QVERIFY(f.show());
        auto* widget = f.form->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* label = qobject_cast<QLabel*>(widget); label && !caption.isEmpty()) {
            QCOMPARE(label->text(), caption);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        }
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

    void looks() {
        MainWindowFixture f;
        QVERIFY(f.show());
        QVERIFY(f.find<QLabel>("Label10")->font().bold());
        const QFont domain = f.find<QLabel>("Label3")->font();
        QVERIFY(domain.bold());
        QCOMPARE(domain.pointSizeF(), 9.75);
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
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
