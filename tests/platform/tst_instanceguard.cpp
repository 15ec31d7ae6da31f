#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QUuid>
#include <cstdio>

#include "platform/linux/LocalSocketInstanceGuard.h"

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

    void defaultNameBelongsToTheUser() {
        QVERIFY(
            LocalSocketInstanceGuard::defaultName().endsWith(QStringLiteral("-%1").arg(getuid())));
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
