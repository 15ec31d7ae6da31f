// The report file: what it refuses to open, and that an ended program keeps what was written.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestTrees.h"
#include "platform/system/ReportFile.h"

using namespace dirtally;

namespace {
// Runs `child` in a forked process and gives its exit status.
template <typename F>
int inChild(F child) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(child());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
}  // namespace

class TestReportFile : public QObject {
    Q_OBJECT

  private slots:
    void replacesAnOldReport() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Dirtallied.txt"));
        writeFile(path, "an older and longer report");
        QString error;
        auto report = ReportFile::openReport(pathFromText(path), &error);
        QVERIFY(report);
        report->write("new\r\n");
        report.reset();
        QCOMPARE(contents(path), QByteArray("new\r\n"));
    }

    void refusesWhatIsNoFile() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!ReportFile::openReport(pathFromText(dir.path()), &error));  // a folder instead
        QVERIFY(!error.isEmpty());
        // A FIFO without a reader would freeze the window; it is refused at once.
        const Path fifo = pathFromText(dir.filePath(QStringLiteral("fifo")));
        QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
        error.clear();
        QVERIFY(!ReportFile::openReport(fifo, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!ReportFile::openReport(
            pathFromText(dir.filePath(QStringLiteral("no/such/dir/r.txt"))), &error));
    }

    // A link planted where the report goes is never written through, whatever it leads to.
    void refusesLinks_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("a file of the user's") << "profile";
        QTest::newRow("a device") << "/dev/full";
        QTest::newRow("nothing yet") << "created-through-the-link";
    }
    void refusesLinks() {
        QFETCH(QString, target);
        QTemporaryDir dir;
        const QString profile = dir.filePath(QStringLiteral("profile"));
        writeFile(profile, "export PATH=...\n");
        const QString link = dir.filePath(QStringLiteral("Dirtallied.txt"));
        QVERIFY(QFile::link(target, link));
        QString error;
        QVERIFY(!ReportFile::openReport(pathFromText(link), &error));
        QCOMPARE(error,
                 QStringLiteral("It is a symbolic link; Dirtally does not write through links."));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QDir(dir.path()).absoluteFilePath(target));
        QCOMPARE(contents(profile), QByteArray("export PATH=...\n"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("created-through-the-link"))));
    }

    void refusesAReadOnlyFolder() {
        QTemporaryDir dir;
        QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
        const Path path = pathFromText(dir.filePath(QStringLiteral("Dirtallied.txt")));
        const int status = testtree::runUnprivileged([&] {
            QString error;
            return ReportFile::openReport(path, &error) || error.isEmpty() ? 1 : 0;
        });
        QCOMPARE(status, 0);
    }

    void terminationKeepsWhatWasWritten_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void terminationKeepsWhatWasWritten() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Dirtallied.txt"));
        const int status = inChild([&] {
            ReportFile::closeOnTerminationSignals();
            QString error;
            const auto report = ReportFile::openReport(pathFromText(path), &error);
            if (!report) {
                return 3;
            }
            report->write("first line\r\n");
            raise(signal);
            report->write("never written\r\n");
            return 4;
        });
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 128 + signal);
        QCOMPARE(contents(path), QByteArray("first line\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestReportFile)
#include "tst_reportfile.moc"
