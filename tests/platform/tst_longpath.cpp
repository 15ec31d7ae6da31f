// A folder deeper than the system's path limit: the report can still be listed, sized and
// written there.
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/system/LongPath.h"
#include "platform/system/ReportFile.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/LinuxFileProbe.h"
#include "platform/system/linux/SizeEngine.h"

using namespace dirtally;

namespace {
// Makes a chain of folders beneath `root` whose full path is longer than PATH_MAX, and gives
// that path.
Path makeDeepFolder(const Path& root) {
    const std::string name(200, 'd');
    Path path = root;
    int at = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    while (path.size() <= PATH_MAX + 300) {
        mkdirat(at, name.c_str(), 0755);
        const int next = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(at);
        at = next;
        path += "/" + name;
    }
    close(at);
    return path;
}

// Removes what makeDeepFolder made (with the report inside), deepest first: neither rm nor
// QTemporaryDir would reach it through one path.
void removeDeepFolder(const Path& root) {
    const std::string name(200, 'd');
    std::vector<int> chain{open(root.c_str(), O_RDONLY | O_DIRECTORY)};
    for (int next; (next = openat(chain.back(), name.c_str(), O_RDONLY | O_DIRECTORY)) >= 0;) {
        chain.push_back(next);
    }
    unlinkat(chain.back(), "Dirtallied.txt", 0);
    for (std::size_t i = chain.size() - 1; i > 0; --i) {
        close(chain[i]);
        unlinkat(chain[i - 1], name.c_str(), AT_REMOVEDIR);
    }
    close(chain[0]);
}
}  // namespace

class TestLongPath : public QObject {
    Q_OBJECT

  private slots:
    void deeperThanThePathLimit() {
        QTemporaryDir dir;
        const Path deep = makeDeepFolder(dir.path().toStdString());
        QVERIFY(deep.size() > PATH_MAX);
        const auto cleanUp = qScopeGuard([&] { removeDeepFolder(dir.path().toStdString()); });

        // A file created, found and read back there.
        const Path file = deep + "/Dirtallied.txt";
        const int fd = openLongPath(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(write(fd, "12345", 5), ssize_t(5));
        close(fd);
        LinuxFileProbe probe;
        QVERIFY(probe.isRegularFile(file));
        QVERIFY(!probe.isRegularFile(deep));

        LinuxDirectoryReader reader;
        const auto listing = reader.read(deep);
        QCOMPARE(listing.error, 0);
        QCOMPARE(listing.entries.size(), 1u);
        QCOMPARE(listing.entries.at(0).name, std::string("Dirtallied.txt"));

        SizeEngine folders;
        QVERIFY(folders.driveSpace(deep).has_value());
        auto job = folders.start({deep, {""}, false});
        QVERIFY(job->wait(0, std::chrono::seconds(30)));
        QCOMPARE(job->result(0), FolderSize::of(5));

        QString error;
        QVERIFY2(ReportFile::openInPlace(deep + "//Dirtallied.txt", &error), qPrintable(error));
    }

    void missingStaysMissing() {
        errno = 0;
        QCOMPARE(openLongPath(std::string(PATH_MAX + 10, 'x'), O_RDONLY), -1);
        QVERIFY(errno != 0);
        QCOMPARE(openLongPath("/no/such/folder", O_RDONLY), -1);
        QCOMPARE(errno, ENOENT);
    }
};

QTEST_GUILESS_MAIN(TestLongPath)
#include "tst_longpath.moc"
