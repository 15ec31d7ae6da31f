#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "TestTrees.h"
#include "platform/system/linux/LinuxDirectoryReader.h"

using dirtally::DirEntry;
using dirtally::LinuxDirectoryReader;

namespace {

QByteArray describe(const std::vector<DirEntry>& entries) {
    QByteArray text;
    for (const DirEntry& entry : entries) {
        text += QByteArray::fromStdString(entry.name).toPercentEncoding() + " " +
                QByteArray::number(static_cast<int>(entry.kind)) + "\n";
    }
    return text;
}

void touch(const std::string& path) {
    QFile(QString::fromStdString(path)).open(QIODevice::WriteOnly);
}

}  // namespace

class DirectoryReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void entriesComeInTheFileSystemsOrder();
    void emptyFolderHasNoEntries();
    void foldersThatCannotBeRead_data();
    void foldersThatCannotBeRead();
    void folderWithoutPermissionCannotBeRead();
};

void DirectoryReaderTest::entriesComeInTheFileSystemsOrder() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    mkdir((folder + "/sub").c_str(), 0755);
    mkdir((folder + "/\xff\xfe not utf-8").c_str(), 0755);
    mkdir((folder + "/.hidden").c_str(), 0755);
    touch(folder + "/file");
    touch(folder + "/tab\tand\nnewline");
    symlink("sub", (folder + "/link to folder").c_str());
    symlink("file", (folder + "/link to file").c_str());
    symlink("nowhere", (folder + "/broken link").c_str());
    mkfifo((folder + "/fifo").c_str(), 0644);
    for (int i = 0; i < 2000; ++i) {
        symlink("x", (folder + "/many" + std::to_string(i)).c_str());
    }

    const auto listing = LinuxDirectoryReader().read(folder);
    const auto& entries = listing.entries;
    QCOMPARE(listing.error, 0);
    QCOMPARE(describe(entries), describe(dirtally::testtree::referenceEntries(folder)));
    QCOMPARE(entries.size(), std::size_t{2009});
    const auto kindOf = [&](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const DirEntry& e) { return e.name == name; })
            ->kind;
    };
    QCOMPARE(kindOf("link to folder"), DirEntry::Kind::Other);
    QCOMPARE(kindOf("\xff\xfe not utf-8"), DirEntry::Kind::Directory);
    QCOMPARE(kindOf("fifo"), DirEntry::Kind::Other);
    std::filesystem::remove(folder + "/\xff\xfe not utf-8");
}

void DirectoryReaderTest::emptyFolderHasNoEntries() {
    QTemporaryDir dir;
    QCOMPARE(LinuxDirectoryReader().read(dir.path().toStdString()), dirtally::FolderListing{});
}

void DirectoryReaderTest::foldersThatCannotBeRead_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::newRow("empty path") << "" << ENOENT;
    QTest::newRow("missing") << "/no/such/folder/anywhere" << ENOENT;
    QTest::newRow("a file") << "/etc/hostname" << ENOTDIR;
}

void DirectoryReaderTest::foldersThatCannotBeRead() {
    QFETCH(QString, path);
    QFETCH(int, error);
    const auto listing = LinuxDirectoryReader().read(path.toStdString());
    QCOMPARE(listing.error, error);
    QVERIFY(listing.entries.empty());
}

// Root reads everything: the reading runs where permissions bind.
void DirectoryReaderTest::folderWithoutPermissionCannotBeRead() {
    const dirtally::testtree::Scratch scratch;  // opens the shut folder again to remove it
    const std::string& folder = scratch.path();
    chmod(folder.c_str(), 0755);
    mkdir((folder + "/shut").c_str(), 0311);
    touch(folder + "/shut/file");
    mkdir((folder + "/open").c_str(), 0755);
    touch(folder + "/open/file");

    const int status = dirtally::testtree::runUnprivileged([&] {
        LinuxDirectoryReader reader;
        const bool shutFails = reader.read(folder + "/shut").error == EACCES;
        const auto open = reader.read(folder + "/open");
        return shutFails && open.error == 0 && open.entries.size() == 1 ? 0 : 1;
    });
    QCOMPARE(status, 0);
}

QTEST_GUILESS_MAIN(DirectoryReaderTest)
#include "tst_directoryreader.moc"
