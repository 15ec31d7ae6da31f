// Whole reports on real trees built here. Each is held against the same run over scripted
// services that give what this test's own reference walk (readdir and lstat) finds: the directory
// reader and the size engine must give the report exactly what the file system holds.
#include <QTest>

#include <unistd.h>

#include "FakeRunHost.h"
#include "Fakes.h"
#include "TestTrees.h"
#include "listing/ReportRun.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/SizeEngine.h"

using namespace dirtally;
using namespace dirtally::test;
using namespace dirtally::testtree;

namespace {

QByteArray report(const std::string& folder, bool oneLevel, DirectoryReader& directories,
                  FolderInfo& folders) {
    FakeRunHost host(folder);
    host.setOneLevel(oneLevel);
    ReportRun run(host, directories, folders);
    run.makeList();
    return host.report;
}

QByteArray realReport(const std::string& folder, bool oneLevel) {
    LinuxDirectoryReader directories;
    SizeEngine folders;
    return report(folder, oneLevel, directories, folders);
}

QByteArray referenceReport(const std::string& folder, bool oneLevel) {
    const std::vector<DirEntry> entries = referenceEntries(folder);
    std::map<std::string, FolderSize> sizes;
    std::map<std::string, std::vector<FolderNode>> trees;
    for (const DirEntry& entry : entries) {
        if (entry.kind == DirEntry::Kind::Directory) {
            sizes[entry.name] = referenceSize(folder + "/" + entry.name);
            trees[entry.name] = referenceTree(folder + "/" + entry.name);
        }
    }
    FakeDirectoryReader directories({{folder + "/", entries}});
    FakeFolderInfo folders(sizes);
    folders.trees = trees;
    return report(folder, oneLevel, directories, folders);
}

}  // namespace

class TestReportRealTree : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Names at the column stop and beyond it, in mixed case, not UTF-8 or with control
    // characters; a terabyte; totals beyond 2^24; a dot-folder; files and a link beside folders.
    void oneLevel() {
        const Scratch scratch;
        const std::string& root = scratch.path();
        const std::vector<std::string> names{std::string(82, 'a'),
                                             std::string(83, 'b'),
                                             std::string(120, 'c'),
                                             "Huge",
                                             "MiXeD",
                                             "\xc3\x9c"
                                             "berraschung",
                                             "bad\xff\xfename",
                                             "tab\there",
                                             ".dotted",
                                             "empty"};
        for (const std::string& name : names) {
            makeFolder(root + "/" + name);
        }
        makeFile(root + "/Huge/one-terabyte", std::uint64_t(1) << 40);
        makeFile(root + "/MiXeD/ten-million", 10'000'000);
        makeFile(root + "/MiXeD/seven-million", 7'000'001);
        makeFolder(root + "/MiXeD/deeper");
        makeFile(root + "/MiXeD/deeper/x", 3);
        makeFile(root + "/" + std::string(82, 'a') + "/f", 12);
        makeFile(root + "/bad\xff\xfename/f", 5);
        makeFile(root + "/.dotted/f", 7);
        makeFile(root + "/a-file", 1000);
        QCOMPARE(symlink("MiXeD", (root + "/link-to-folder").c_str()), 0);

        const QByteArray expected = referenceReport(root, true);
        QVERIFY(expected.contains("1,099,511,627,776"));  // the reference saw the terabyte
        QCOMPARE(realReport(root, true), expected);
    }

    // Forty levels deep, thirty wide, dot-folders at two depths (counted, never listed).
    void wholeTree() {
        const Scratch scratch;
        const std::string& root = scratch.path();
        std::string deep = root + "/deep";
        makeFolder(deep);
        for (int level = 0; level < 40; ++level) {
            deep += "/level" + std::to_string(level);
            makeFolder(deep);
            makeFile(deep + "/f", std::uint64_t(level) + 1);
        }
        makeFolder(root + "/wide");
        for (int i = 0; i < 30; ++i) {
            makeFolder(root + "/wide/w" + std::to_string(i));
            makeFile(root + "/wide/w" + std::to_string(i) + "/f", 100 * std::uint64_t(i));
        }
        makeFolder(root + "/wide/.git");
        makeFolder(root + "/wide/.git/objects");
        makeFile(root + "/wide/.git/objects/o", 4096);
        makeFolder(root + "/.cache");
        makeFile(root + "/.cache/c", 1);

        const QByteArray expected = referenceReport(root, false);
        QVERIFY(expected.contains("deep/level0/level1/level2"));
        QVERIFY(!expected.contains(".git"));
        QCOMPARE(realReport(root, false), expected);
    }
};

QTEST_GUILESS_MAIN(TestReportRealTree)
#include "tst_reportrealtree.moc"
