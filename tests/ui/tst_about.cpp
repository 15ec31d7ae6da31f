#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "Fakes.h"
#include "mainwindow/ApplicationTitle.h"
#include "ui/AboutWindow.h"

using dirtally::AboutWindow;
using dirtally::test::FakeInstanceGuard;
using dirtally::test::FakeSoundPlayer;

namespace {

// What the About window looked like while its sound played.
struct Seen {
    int windows = 0;
    bool visible = false;
    bool exposed = false;
    QSize size;
    Qt::WindowFlags flags;
    QPoint centre;
    QString title, comments, company, address;
};

AboutWindow* shownAboutWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<AboutWindow*>(widget); form != nullptr && form->isVisible()) {
            return form;
        }
    }
    return nullptr;
}

QString text(const QWidget* form, const char* name) {
    return form->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

Seen look() {
    Seen seen;
    AboutWindow* form = shownAboutWindow();
    if (form == nullptr) {
        return seen;
    }
    ++seen.windows;
    seen.visible = form->isVisible();
    seen.exposed = form->windowHandle() != nullptr && form->windowHandle()->isExposed();
    seen.size = form->size();
    seen.flags = form->windowFlags();
    seen.centre = form->geometry().center();
    seen.title = text(form, "Label1");
    seen.comments = text(form, "Label2");
    seen.company = text(form, "Label3");
    seen.address = text(form, "Label6");
    return seen;
}

// Counts every About window that is ever shown, however briefly.
class ShowCounter : public QObject {
  public:
    ShowCounter() { qApp->installEventFilter(this); }
    ~ShowCounter() override { qApp->removeEventFilter(this); }
    int shown = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<AboutWindow*>(watched) != nullptr) {
            ++shown;
        }
        return false;
    }
};

void touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT

  private slots:
    void init() { dirtally::setApplicationTitle(QStringLiteral("Dirtally")); }

    void versionLine_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("this version") << "Dirtally" << 1 << 2 << "Dirtally Version  1.2";
        QTest::newRow("minor 0") << "Dirtally" << 1 << 0 << "Dirtally Version  1.0";
        QTest::newRow("minor 10 is not 1.1") << "Dirtally" << 1 << 10 << "Dirtally Version  1.10";
        QTest::newRow("renamed instance")
            << "... duplicate instance." << 1 << 2 << "... duplicate instance. Version  1.2";
        QTest::newRow("title with a percent sign") << "100%1" << 2 << 3 << "100%1 Version  2.3";
    }

    void versionLine() {
        QFETCH(QString, title);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, expected);
        QCOMPARE(dirtally::versionLine(title, major, minor), expected);
    }

    void soundIsLookedForBesideTheProgramFirst() {
        QTemporaryDir program;
        QTemporaryDir data;
        const QStringList folders{program.path(), data.path()};
        const QString besideProgram = program.filePath("thunder.wav");

        QCOMPARE(dirtally::aboutSoundFile(folders), besideProgram);
        touch(data.filePath("thunder.wav"));
        QCOMPARE(dirtally::aboutSoundFile(folders), data.filePath("thunder.wav"));
        touch(besideProgram);
        QCOMPARE(dirtally::aboutSoundFile(folders), besideProgram);
        QVERIFY(QFile::remove(besideProgram));
        QVERIFY(QDir(program.path()).mkdir("thunder.wav"));
        QCOMPARE(dirtally::aboutSoundFile(folders), data.filePath("thunder.wav"));
    }

    // A package puts the program in /usr/bin and the sound in /usr/share/dirtally, whatever prefix
    // the build was configured for; the program finds it from its own folder.
    void installedProgramFindsTheSoundInItsDataFolder() {
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin"));
        QVERIFY(QDir(prefix.path()).mkpath("share/dirtally"));
        const QString installed = prefix.filePath("share/dirtally/thunder.wav");
        touch(installed);
        FakeSoundPlayer sound;
        FakeInstanceGuard instance(false);

        dirtally::showAbout(sound, instance, prefix.filePath("bin").toStdString());

        QCOMPARE(sound.played, QStringList{installed});
    }

    // The window is complete on the screen for exactly as long as the sound plays.
    void shownWhileTheSoundPlays() {
        QTemporaryDir program;
        touch(program.filePath("thunder.wav"));
        Seen seen;
        FakeSoundPlayer sound([&seen](const QString&) { seen = look(); });
        FakeInstanceGuard instance(false);

        dirtally::showAbout(sound, instance, program.path().toStdString());

        QCOMPARE(sound.played, QStringList{program.filePath("thunder.wav")});
        QCOMPARE(seen.windows, 1);
        QVERIFY(seen.visible);
        QVERIFY(seen.exposed);
        QCOMPARE(seen.size, QSize(393, 292));
        QVERIFY(seen.flags.testFlag(Qt::FramelessWindowHint));
        QCOMPARE(seen.flags & Qt::WindowType_Mask, Qt::Tool);
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((seen.centre - screenCentre).manhattanLength() <= 2);
        QCOMPARE(seen.title, QStringLiteral("Dirtally Version  1.2"));
        QCOMPARE(seen.comments, QStringLiteral("Create reports on folders"));
        // The red line names the publisher's address, and the publisher's message holds it too.
        QVERIFY(seen.address.endsWith(" (2003)"));
        const QString address = seen.address.chopped(7);
        QVERIFY(!address.isEmpty() && seen.company.contains(address));
        QCOMPARE(shownAboutWindow(), nullptr);
        QVERIFY(instance.raiseRequests == 0);
    }

    void shownAgainWithTheSameTexts() {
        QTemporaryDir program;
        std::vector<Seen> seen;
        FakeSoundPlayer sound([&seen](const QString&) { seen.push_back(look()); });
        FakeInstanceGuard instance(false);
        dirtally::showAbout(sound, instance, program.path().toStdString());
        dirtally::showAbout(sound, instance, program.path().toStdString());
        QCOMPARE(seen.size(), 2u);
        QCOMPARE(seen[1].windows, 1);
        QCOMPARE(seen[1].title, seen[0].title);
        QCOMPARE(seen[1].company, seen[0].company);
        QCOMPARE(dirtally::applicationTitle(), QStringLiteral("Dirtally"));
    }

    // The fallback fonts differ from the design's; the texts must still fit their labels.
    void textsFitTheirPlaces() {
        FakeSoundPlayer sound;
        FakeInstanceGuard instance(false);
        AboutWindow form(sound, instance, {});
        form.load();
        for (const char* name : {"Label1", "Label2", "Label6"}) {
            const auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), name);
        }
        const auto* company = form.findChild<QLabel*>("Label3");
        QVERIFY(company->wordWrap());
        QVERIFY(company->alignment().testFlag(Qt::AlignHCenter));
        QVERIFY(company->heightForWidth(company->width()) <= company->height());
        form.close();
    }

    void duplicateInstanceRaisesTheFirstAndShowsNothing() {
        ShowCounter counter;
        FakeSoundPlayer sound;
        FakeInstanceGuard instance(true);

        AboutWindow form(sound, instance, {});
        form.load();
        QCOMPARE(instance.raiseRequests, 1);
        QVERIFY(sound.played.isEmpty());
        QCOMPARE(dirtally::applicationTitle(), QStringLiteral("... duplicate instance."));
        QCOMPARE(text(&form, "Label1"), QStringLiteral("Dirtally Version  1.2"));

        // The new title stays for good: the next About uses it, and still shows no window.
        AboutWindow again(sound, instance, {});
        again.load();
        QCOMPARE(text(&again, "Label1"), QStringLiteral("... duplicate instance. Version  1.2"));
        dirtally::showAbout(sound, instance, "/opt/dirtally");
        QCOMPARE(instance.raiseRequests, 3);
        QCOMPARE(dirtally::applicationTitle(), QStringLiteral("... duplicate instance."));
        QCoreApplication::processEvents();
        QCOMPARE(counter.shown, 0);
        QVERIFY(sound.played.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
