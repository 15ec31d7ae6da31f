#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QUuid>
#include <cstdio>

#include "platform/desktop/linux/LocalSocketInstanceGuard.h"

using dirtally::LocalSocketInstanceGuard;

namespace {

const char* const holdOption = "--hold-instance";

// A name no running Dirtally and no other test run uses.
QString uniqueName() {
    return QStringLiteral("dirtally-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
}

// The other instance: this same program started again, holding the name until it is killed and
// saying on its output when it is asked to come forward.
int holdInstance(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LocalSocketInstanceGuard guard(QString::fromLocal8Bit(argv[2]));
    guard.onRaiseRequest([] {
        std::fputs("raised\n", stdout);
        std::fflush(stdout);
    });
    std::fputs(guard.previousInstance() ? "second\n" : "first\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

}  // namespace

class TestInstanceGuard : public QObject {
    Q_OBJECT

  private slots:
    void secondInstanceInOneProcessAsksTheFirst() {
        const QString name = uniqueName();
        LocalSocketInstanceGuard first(name);
        int raised = 0;
        first.onRaiseRequest([&raised] { ++raised; });
        QVERIFY(!first.previousInstance());

        LocalSocketInstanceGuard second(name);
        QVERIFY(second.previousInstance());
        // The first instance answers only from its event loop, which this one call blocks; the
        // request must still arrive once the loop runs again.
        second.raisePrevious();
        QTRY_COMPARE(raised, 1);
        second.raisePrevious();
        QTRY_COMPARE(raised, 2);
    }

    void nameIsFreeAgainWhenTheFirstEnds() {
        const QString name = uniqueName();
        auto first = std::make_unique<LocalSocketInstanceGuard>(name);
        LocalSocketInstanceGuard second(name);
        QVERIFY(second.previousInstance());
        first.reset();

        QVERIFY(!LocalSocketInstanceGuard(name).previousInstance());
        // The second instance still believes in a first one; asking it is harmless.
        QElapsedTimer timer;
        timer.start();
        second.raisePrevious();
        QVERIFY(timer.elapsed() < 3000);
    }

    void otherProcessIsRaisedAndCrashLeavesNothingBehind() {
        const QString name = uniqueName();
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {holdOption, name});
        QVERIFY(other.waitForStarted());
        QTRY_VERIFY(other.canReadLine());
        QCOMPARE(other.readLine(), QByteArray("first\n"));

        LocalSocketInstanceGuard late(name);
        QVERIFY(late.previousInstance());
        late.raisePrevious();
        // The other instance confirms before raisePrevious returns, so its word is already out.
        QVERIFY(other.waitForReadyRead(5000) || other.canReadLine());
        QCOMPARE(other.readLine(), QByteArray("raised\n"));

        other.kill();
        QVERIFY(other.waitForFinished());
        QElapsedTimer timer;
        timer.start();
        late.raisePrevious();
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(!LocalSocketInstanceGuard(name).previousInstance());
    }

    // One first instance per user and desktop: another X server is another desktop, another
    // screen of the same server is not.
    void defaultNameBelongsToTheUserAndDisplay_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("same");
        QTest::newRow("same display") << ":5"
                                      << ":5" << true;
        QTest::newRow("another screen of it") << ":5"
                                              << ":5.1" << true;
        QTest::newRow("another display") << ":5"
                                         << ":6" << false;
        QTest::newRow("remote, screens") << "host.example:10.0"
                                         << "host.example:10" << true;
        QTest::newRow("remote and local") << "host.example:10"
                                          << ":10" << false;
    }
    void defaultNameBelongsToTheUserAndDisplay() {
        QFETCH(QString, display);
        QFETCH(QString, other);
        QFETCH(bool, same);
        const QByteArray saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", display.toUtf8());
        const QString name = LocalSocketInstanceGuard::defaultName();
        qputenv("DISPLAY", other.toUtf8());
        const QString otherName = LocalSocketInstanceGuard::defaultName();
        qputenv("DISPLAY", saved);
        QCOMPARE(name == otherName, same);
        QVERIFY(name.contains(QStringLiteral("-%1-").arg(getuid())));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], holdOption) == 0) {
        return holdInstance(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestInstanceGuard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instanceguard.moc"
