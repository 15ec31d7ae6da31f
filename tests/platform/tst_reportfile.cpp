// The report file: what it refuses to open, a report replaced only when whole, and what a signal
// leaves.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestTrees.h"
#include "platform/system/ReportFile.h"
#include "platform/system/TerminationSignals.h"

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
        // Opened for a run that fails before its first line, it is left as it was.
        ReportFile::openInPlace(pathFromText(path), &error).reset();
        QCOMPARE(contents(path), QByteArray("an older and longer report"));
        auto report = ReportFile::openInPlace(pathFromText(path), &error);
        QVERIFY(report);
        report->write("new\r\n");
        report.reset();
        QCOMPARE(contents(path), QByteArray("new\r\n"));
    }

    void refusesWhatIsNoFile() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!ReportFile::openInPlace(pathFromText(dir.path()), &error));  // a folder instead
        QVERIFY(!error.isEmpty());
        // A FIFO without a reader would freeze the window; it is refused at once.
        const Path fifo = pathFromText(dir.filePath(QStringLiteral("fifo")));
        QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
        error.clear();
        QVERIFY(!ReportFile::openInPlace(fifo, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!ReportFile::openInPlace(
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
        QVERIFY(!ReportFile::openInPlace(pathFromText(link), &error));
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
            return ReportFile::openInPlace(path, &error) || error.isEmpty() ? 1 : 0;
        });
        QCOMPARE(status, 0);
    }

    void terminationKeepsWhatWasWritten_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");  // as waitpid gives it
        QTest::newRow("SIGTERM") << SIGTERM << (128 + SIGTERM) * 256;
        QTest::newRow("SIGHUP") << SIGHUP << (128 + SIGHUP) * 256;
        QTest::newRow("SIGINT") << SIGINT << (128 + SIGINT) * 256;
        QTest::newRow("SIGABRT takes its own course") << SIGABRT << SIGABRT;
    }
    // Written in place, the lines so far stay; a report that replaces another leaves the other
    // and its own temporary file not.
    void terminationKeepsWhatWasWritten() {
        QFETCH(int, signal);
        QFETCH(int, status);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Dirtallied.txt"));
        for (const bool inPlace : {true, false}) {
            writeFile(path, "previous\r\n");
            const int ended = inChild([&] {
                const rlimit noCore{0, 0};
                setrlimit(RLIMIT_CORE, &noCore);
                TerminationSignals::endProgramOnThem();
                QString error;
                const std::unique_ptr<ReportFile> report =
                    inPlace ? ReportFile::openInPlace(pathFromText(path), &error)
                            : ReportFile::openReplacing(pathFromText(path),
                                                        ReportFile::Place::InFolder, &error);
                report->write("first line\r\n");
                raise(signal);
                return 4;
            });
            QCOMPARE(ended, status);
            QCOMPARE(contents(path), inPlace ? "first line\r\n" : "previous\r\n");
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        }
    }

    // The old report stays until the new one is whole; the new one takes the old one's mode.
    void replacesOnlyWhenWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Dirtallied.txt"));
        writeFile(path, "previous");
        QCOMPARE(chmod(QFile::encodeName(path).constData(), 0640), 0);
        for (const bool whole : {false, true}) {
            QString error;
            auto report =
                ReportFile::openReplacing(pathFromText(path), ReportFile::Place::InFolder, &error);
            QVERIFY2(report, qPrintable(error));
            report->write("new");
            QCOMPARE(contents(path), QByteArray("previous"));
            QVERIFY(!whole || report->finish(&error));
            report.reset();
            QCOMPARE(contents(path), whole ? QByteArray("new") : QByteArray("previous"));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        }
        struct stat st {};
        QCOMPARE(stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0640u);
    }
};

QTEST_GUILESS_MAIN(TestReportFile)
#include "tst_reportfile.moc"
