// The About window and its sound: where the sound is found, how long it lasts by its wave header,
// and that the window is seen for as long as it plays, with a sound server or without one.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <QtEndian>
#include <optional>

#include "Fakes.h"
#include "mainwindow/ApplicationTitle.h"
#include "platform/desktop/linux/CanberraSoundPlayer.h"
#include "platform/desktop/linux/WaveLength.h"
#include "ui/AboutWindow.h"

using dirtally::AboutWindow;
using dirtally::CanberraSoundPlayer;
using dirtally::waveFileLength;
using dirtally::waveLength;
using dirtally::test::FakeInstanceGuard;
using dirtally::test::FakeSoundPlayer;

namespace {

QByteArray le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* id, const QByteArray& body, std::optional<quint32> claimed = {}) {
    QByteArray result = QByteArray(id) + le32(claimed.value_or(body.size())) + body;
    if (body.size() % 2 == 1) {
        result.append('\0');
    }
    return result;
}

// A PCM format chunk; 16-bit samples.
QByteArray format(quint32 rate, quint16 channels) {
    QByteArray body(16, '\0');
    qToLittleEndian<quint16>(1, body.data());
    qToLittleEndian<quint16>(channels, body.data() + 2);
    qToLittleEndian<quint32>(rate, body.data() + 4);
    qToLittleEndian<quint32>(rate * channels * 2, body.data() + 8);
    qToLittleEndian<quint16>(channels * 2, body.data() + 12);
    qToLittleEndian<quint16>(16, body.data() + 14);
    return chunk("fmt ", body);
}

QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks;
}

QByteArray silence(qsizetype bytes) {
    return QByteArray(bytes, '\0');
}

// A private PulseAudio server with a sink that plays into nothing, for as long as the object
// lives; it needs neither a sound card nor a desktop session.
class NullSinkServer {
  public:
    explicit NullSinkServer(const QString& folder) : socket_(folder + "/native") {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", folder);
        env.insert("XDG_RUNTIME_DIR", folder);
        server_.setProcessEnvironment(env);
        server_.start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                                     "-n", "--load=module-null-sink sink_name=nullsink",
                                     "--load=module-native-protocol-unix socket=" + socket_ +
                                         " auth-anonymous=1"});
    }
    ~NullSinkServer() {
        server_.kill();
        server_.waitForFinished();
    }
    QString address() const { return "unix:" + socket_; }
    bool ready() {
        QProcess info;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", address());
        info.setProcessEnvironment(env);
        info.start("pactl", {"info"});
        return info.waitForFinished() && info.exitStatus() == QProcess::NormalExit &&
               info.exitCode() == 0;
    }

  private:
    QString socket_;
    QProcess server_;
};

qint64 timedPlay(const QString& file) {
    QElapsedTimer timer;
    timer.start();
    CanberraSoundPlayer().playSync(file);
    return timer.elapsed();
}

const QString thunder = QStringLiteral(DIRTALLY_TEST_DATA "/../../resources/thunder.wav");

// What the About window looked like while its sound played.
struct Seen {
    int windows = 0;
    bool visible = false;
    bool exposed = false;
    Qt::WindowFlags flags;
    QPoint centre;
    QString title, company, address;
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
    seen.flags = form->windowFlags();
    seen.centre = form->geometry().center();
    seen.title = text(form, "Label1");
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

    void waveHeader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("expectedMs");  // -1: not a playable wave file

        const QByteArray second = silence(44100 * 2);
        QTest::newRow("mono 44.1 kHz, one second")
            << riff(format(44100, 1) + chunk("data", second)) << 1000;
        QTest::newRow("stereo halves the length")
            << riff(format(44100, 2) + chunk("data", second)) << 500;
        QTest::newRow("odd-sized tag list before the data is skipped with its pad byte")
            << riff(format(22050, 1) + chunk("LIST", "INFOabc") + chunk("data", silence(22050)))
            << 500;
        QTest::newRow("data claims more than the file holds")
            << riff(format(8000, 1) + chunk("data", silence(4000), 16000 * 60)) << 250;
        QTest::newRow("empty data") << riff(format(8000, 1) + chunk("data", {})) << 0;
        QTest::newRow("data before its format")
            << riff(chunk("data", second) + format(44100, 1)) << -1;
        QTest::newRow("no data chunk") << riff(format(44100, 1)) << -1;
        QByteArray zeroRate = format(44100, 1);
        qToLittleEndian<quint32>(0, zeroRate.data() + 16);
        QTest::newRow("zero byte rate") << riff(zeroRate + chunk("data", second)) << -1;
        QTest::newRow("an Ogg file") << QByteArray("OggS\0\2\0\0\0\0\0\0\0\0", 14) << -1;
        QTest::newRow("cut inside the header") << riff(format(44100, 1)).left(20) << -1;
        QTest::newRow("empty file") << QByteArray() << -1;
    }

    void waveHeader() {
        QFETCH(QByteArray, file);
        QFETCH(int, expectedMs);
        const auto length = waveLength(file, file.size());
        QCOMPARE(length.has_value(), expectedMs >= 0);
        if (length) {
            QCOMPARE(length->count(), expectedMs);
        }
    }

    // The file is read from disk in part; the length still counts the whole data chunk.
    void waveFileLongerThanItsHeaderRead() {
        QTemporaryDir dir;
        QFile file(dir.filePath("long.wav"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(riff(format(8000, 1) + chunk("data", silence(8000 * 2 * 12))));
        file.close();
        QCOMPARE(waveFileLength(file.fileName())->count(), 12000);
        QVERIFY(!waveFileLength(dir.filePath("missing.wav")).has_value());
    }

    // A headless machine: nothing answers. The call still takes the sound's length, so that the
    // About window is seen, but no more; a file of no known length gives nothing to wait for.
    void withoutSoundServerTakesTheSoundsLength() {
        QTemporaryDir dir;
        qputenv("PULSE_SERVER", ("unix:" + dir.filePath("nobody-listens")).toUtf8());
        const qint64 length = waveFileLength(thunder)->count();
        const qint64 played = timedPlay(thunder);
        QVERIFY2(played >= length && played < length + 2000, qPrintable(QString::number(played)));
        QVERIFY(timedPlay(dir.filePath("missing.wav")) < 2000);
    }

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

    // With a server, a file that cannot be played gives way to the desktop's bell, and playing it
    // takes longer than giving up would. (The end-to-end suite plays the real sound.)
    void withSoundServerTheBellStandsInForWhatCannotPlay() {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() ||
            QStandardPaths::findExecutable("pactl").isEmpty()) {
            QSKIP("PulseAudio is not installed");
        }
        QTemporaryDir dir;
        NullSinkServer server(dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 15000);
        qputenv("PULSE_SERVER", server.address().toUtf8());
        QFile text(dir.filePath("not-a-sound.wav"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("RIFF but not really\n");
        text.close();
        for (const QString& file : {dir.filePath("missing.wav"), text.fileName()}) {
            const qint64 bell = timedPlay(file);
            QVERIFY2(bell >= 100 && bell <= 10000, qPrintable(QString::number(bell)));
        }
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
        QVERIFY(seen.flags.testFlag(Qt::FramelessWindowHint));
        QCOMPARE(seen.flags & Qt::WindowType_Mask, Qt::Tool);
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((seen.centre - screenCentre).manhattanLength() <= 2);
        QCOMPARE(seen.title, QStringLiteral("Dirtally Version  1.2"));
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
