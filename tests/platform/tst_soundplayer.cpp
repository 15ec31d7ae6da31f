#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <optional>

#include "platform/desktop/linux/CanberraSoundPlayer.h"
#include "platform/desktop/linux/WaveLength.h"

using dirtally::CanberraSoundPlayer;
using dirtally::waveFileLength;
using dirtally::waveLength;

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

}  // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT

  private slots:
    void init() { savedServer_ = qgetenv("PULSE_SERVER"); }
    void cleanup() { qputenv("PULSE_SERVER", savedServer_); }

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

    void shippedThunderIsAShortClap() {
        const auto length = waveFileLength(thunder);
        QVERIFY(length.has_value());
        QVERIFY2(length->count() >= 2000 && length->count() <= 3000,
                 qPrintable(QString::number(length->count())));
        QVERIFY(QFileInfo(thunder).size() < 300 * 1024);
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

    void withSoundServerPlaysToTheEnd() {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() ||
            QStandardPaths::findExecutable("pactl").isEmpty()) {
            QSKIP("PulseAudio is not installed");
        }
        QTemporaryDir dir;
        NullSinkServer server(dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 15000);
        qputenv("PULSE_SERVER", server.address().toUtf8());

        const qint64 length = waveFileLength(thunder)->count();
        const qint64 played = timedPlay(thunder);
        QVERIFY2(played >= length / 2 && played <= length + 5000,
                 qPrintable(QString::number(played)));

        // The desktop's bell stands in for a missing file; playing it at all takes longer than
        // giving up would.
        const qint64 bell = timedPlay(dir.filePath("missing.wav"));
        QVERIFY2(bell >= 100 && bell <= 10000, qPrintable(QString::number(bell)));
        QFile text(dir.filePath("not-a-sound.wav"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("RIFF but not really\n");
        text.close();
        const qint64 unplayable = timedPlay(text.fileName());
        QVERIFY2(unplayable >= 100 && unplayable <= 10000, qPrintable(QString::number(unplayable)));
    }

  private:
    QByteArray savedServer_;
};

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
