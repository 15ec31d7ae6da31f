// The report run against scripted folders and sizes: whole reports, aborts, re-entry and
// failures.
#include <QFile>
#include <QTest>
#include <cerrno>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FakeRunHost.h"
#include "Fakes.h"
#include "TestTrees.h"
#include "listing/ReportRun.h"

using namespace dirtally;
using namespace dirtally::test;

namespace {
using Kind = DirEntry::Kind;

QByteArray golden(const char* name) {
    QFile file(QStringLiteral(DIRTALLY_TEST_DATA "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The folder of the worked example: a dot-folder, a file and two sub-folders.
FakeDirectoryReader workedExampleFolder() {
    const std::vector<DirEntry> entries{{".cache", Kind::Directory},
                                        {"notes.txt", Kind::Other},
                                        {"MUSIC", Kind::Directory},
                                        {"Photos", Kind::Directory}};
    return FakeDirectoryReader({{"/data/", entries}});
}

FakeFolderInfo workedExampleSizes() {
    FakeFolderInfo folders({{".cache", FolderSize::of(0)},
                            {"MUSIC", FolderSize::of(15'000'000)},
                            {"Photos", FolderSize::of(3'245'120)}});
    folders.trees["MUSIC"] = {{"Rock", FolderNode::kNoParent, FolderSize::of(10'000'000)},
                              {"Live", 0, FolderSize::of(4'000'000)},
                              {"Pop", FolderNode::kNoParent, FolderSize::unreadable()}};
    return folders;
}

QList<QByteArray> lines(const QByteArray& report) {
    return report.split('\n');
}

// A run on the worked example's folder, whose parts a test can script before it runs.
struct WorkedExample {
    FakeRunHost host{"/data"};
    FakeDirectoryReader dirs = workedExampleFolder();
    FakeFolderInfo sizes = workedExampleSizes();
    ReportRun run{host, dirs, sizes};
};
}  // namespace

class TestReportRun : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void workedExample() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        sizes.notYet = {2};
        run.makeList();
        QCOMPARE(host.report, golden("worked-example.golden"));
        // Sizes are read through the real names, not the display names.
        QCOMPARE(sizes.requests.at(0).children,
                 (std::vector<std::string>{".cache", "MUSIC", "Photos"}));
        QCOMPARE(host.folder(), Path("/data/"));
        QCOMPARE(host.openedPath, Path("/data/Dirtallied.txt"));
        QCOMPARE(host.states,
                 (std::vector{RunState::Preparing, RunState::Running, RunState::Idle}));
        QCOMPARE(run.state(), RunState::Idle);
        QVERIFY(host.errors.isEmpty());
        // The report counts in no size, and is whole once.
        QCOMPARE(sizes.requests.at(0).leftOut, (std::vector<FileIdentity>{{7, 42}}));
        QCOMPARE(host.finishes, 1);
        // The last yield came while the third folder was sized: two of three, MUSIC's bytes in.
        QCOMPARE(host.progress.foldersToSize, 3u);
        QCOMPARE(host.progress.foldersDone, 2u);
        QCOMPARE(host.progress.bytes, 15'000'000u);
    }

    void secondRunShowsTheSeparator() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        run.makeList();
        run.makeList();
        QCOMPARE(lines(host.report).at(5), QByteArray("Path - /data/  \r"));
        QCOMPARE(host.folder(), Path("/data/"));
    }

    void allSubFolders() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        host.setOneLevel(false);
        run.makeList();
        QCOMPARE(host.report, golden("worked-example-all.golden"));
        QVERIFY(sizes.requests.at(0).keepTree);
        // The folder line is not touched in this mode.
        QCOMPARE(host.folder(), Path("/data"));
    }

    void orderedAndLeftOut_data() {
        QTest::addColumn<bool>("all");
        QTest::addColumn<ListOrder>("order");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("exclude");
        QTest::addColumn<QByteArrayList>("listed");
        QTest::addColumn<QByteArray>("total");
        const QByteArray whole = "18,245,120";
        QTest::newRow("largest first") << false << ListOrder::Size << 0 << ""
                                       << QByteArrayList{"Music", "Photos", ".cache"} << whole;
        QTest::newRow("by name, bytes") << false << ListOrder::Name << 0 << ""
                                        << QByteArrayList{".cache", "Music", "Photos"} << whole;
        QTest::newRow("top alone: by size") << false << ListOrder::FileSystem << 2 << ""
                                            << QByteArrayList{"Music", "Photos"} << whole;
        QTest::newRow("tree, blank last")
            << true << ListOrder::Size << 0 << ""
            << QByteArrayList{"MUSIC",  "MUSIC/Rock", "MUSIC/Rock/Live",
                              "Photos", ".cache",     "MUSIC/Pop"}
            << whole;
        QTest::newRow("largest two by name")
            << true << ListOrder::Name << 2 << "" << QByteArrayList{"MUSIC", "MUSIC/Rock"} << whole;
        QTest::newRow("name pattern")
            << false << ListOrder::FileSystem << 0 << "P*" << QByteArrayList{".cache", "Music"}
            << QByteArray("15,000,000");
        QTest::newRow("path pattern")
            << true << ListOrder::FileSystem << 0 << "/MUSIC" << QByteArrayList{".cache", "Photos"}
            << QByteArray("3,245,120");
    }
    void orderedAndLeftOut() {
        QFETCH(bool, all);
        QFETCH(ListOrder, order);
        QFETCH(int, top);
        QFETCH(QString, exclude);
        QFETCH(QByteArrayList, listed);
        QFETCH(QByteArray, total);
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        host.setOneLevel(!all);
        host.choose = [&](RunInputs& inputs) {
            inputs.order = order;
            inputs.top = static_cast<std::size_t>(top);
            if (!exclude.isEmpty()) {
                inputs.counting.exclude = {exclude.toStdString()};
            }
        };
        run.makeList();
        const auto report = lines(host.report);
        QByteArrayList names;
        for (qsizetype n = 7; !report.at(n).endsWith("-\r"); ++n) {
            names << report.at(n).left(82).trimmed();
        }
        QCOMPARE(names, listed);
        QVERIFY(report.at(report.size() - 2 - (all ? 0 : 1)).endsWith(" " + total + "\r"));
        QCOMPARE(sizes.requests.at(0).counting.exclude.size(), exclude.isEmpty() ? 0u : 1u);
    }

    void rootFolder() {
        FakeRunHost host("/");
        FakeDirectoryReader dirs({{"/", {{"home", Kind::Directory}}}});
        FakeFolderInfo sizes({{"home", FolderSize::of(2)}});
        ReportRun run(host, dirs, sizes);
        run.makeList();
        const auto report = lines(host.report);
        QCOMPARE(report.at(5), QByteArray("Path - /  \r"));
        QCOMPARE(host.folder(), Path("/"));
        // The one-level closing block, with its second dash line.
        QCOMPARE(report.size(), 12);
        QVERIFY(report.at(10).endsWith("---------------\r"));
    }

    void emptyFolderAndTotals() {
        FakeRunHost host("/empty");
        FakeDirectoryReader dirs({{"/empty/", std::vector<DirEntry>{}}});
        FakeFolderInfo sizes;
        ReportRun run(host, dirs, sizes);
        run.makeList();
        const auto report = lines(host.report);
        QCOMPARE(report.size(), 11);  // seven header lines, three closing lines, and the end
        QCOMPARE(report.at(8), "\t" + QByteArray(76, ' ') + QByteArray(16, ' ') + "0\r");
    }

    void exactTotal() {
        // A single-precision total would print 123,456,792.
        FakeRunHost host("/t");
        FakeDirectoryReader dirs({{"/t/", {{"a", Kind::Directory}, {"b", Kind::Directory}}}});
        FakeFolderInfo sizes({{"a", FolderSize::of(123'456'000)}, {"b", FolderSize::of(789)}});
        ReportRun run(host, dirs, sizes);
        run.makeList();
        QCOMPARE(run.sizeTotal(), 123'456'789ULL);
        QVERIFY(host.report.contains("      123,456,789\r\n"));
    }

    void unreadableAndUnknownEntries() {
        FakeRunHost host("/u");
        FakeDirectoryReader dirs(
            {{"/u/",
              {{"locked", Kind::Directory}, {"odd", Kind::Unknown}, {"link", Kind::Other}}}});
        FakeFolderInfo sizes({{"odd", FolderSize::of(5)}});
        sizes.failures["locked"] = {{"locked", EACCES}, {"locked/deeper", EIO}};
        ReportRun run(host, dirs, sizes);
        run.makeList();
        QCOMPARE(host.unreadable, (std::vector<std::pair<Path, int>>{{"/u/locked", EACCES},
                                                                     {"/u/locked/deeper", EIO}}));
        const auto report = lines(host.report);
        QCOMPARE(report.at(7), "Locked" + QByteArray(76, ' ') + "\t" + QByteArray(14, ' ') + "\r");
        QVERIFY(report.at(8).startsWith("Odd "));
        QCOMPARE(run.sizeTotal(), 5ULL);
        QVERIFY(!host.report.contains("Link"));
    }

    void abortDuringListing() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        // The yield while the second sub-folder is sized carries a click on "&Abort", then one
        // on "&Make list". Named in the capture: clang 14 cannot capture a structured binding.
        sizes.notYet = {1};
        host.onYield = [&run = x.run](int yield) {
            if (yield == 3) {
                run.makeList();
                QCOMPARE(run.state(), RunState::Stopping);
                run.makeList();
            }
        };
        run.makeList();
        QCOMPARE(host.opens, 1);  // the queued start was refused
        QCOMPARE(host.preparations, 1);
        const auto report = lines(host.report);
        QCOMPARE(report.size(), 12);  // header, one folder line, the closing block
        QVERIFY(report.at(7).startsWith(".cache"));
        QVERIFY(report.at(8).endsWith("---------------\r"));
        QCOMPARE(host.states, (std::vector{RunState::Preparing, RunState::Running,
                                           RunState::Stopping, RunState::Idle}));
    }

    void abortWhileSizing() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        sizes.onWait = [&run = x.run](std::size_t root) {
            if (root == 1) {
                run.makeList();  // "&Abort" while MUSIC is being sized
            }
        };
        run.makeList();
        QVERIFY(!host.report.contains("Music"));
        QVERIFY(host.report.contains("---------------"));
    }

    void untickedDuringListing() {
        FakeRunHost host("/data");
        auto dirs = workedExampleFolder();
        FakeFolderInfo sizes({{"MUSIC", FolderSize::of(1)}}, DriveSpace{250, 1'000});
        ReportRun run(host, dirs, sizes);
        host.onYield = [&](int yield) {
            if (yield == 2) {
                host.setOneLevel(false);
            }
        };
        run.makeList();
        const auto report = lines(host.report);
        // The used space of the file system replaces the total and the last dash line.
        QCOMPARE(report.at(report.size() - 2),
                 QByteArray(81, ' ') + "\t" + QByteArray(14, ' ') + "750\r");
        QVERIFY(report.at(report.size() - 3).endsWith("---------------\r"));
    }

    void noReportWhenTheOutputChoiceFails() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        host.chosenOutput.clear();
        run.makeList();
        QCOMPARE(host.opens, 0);
        QCOMPARE(host.states.back(), RunState::Idle);
        QVERIFY(host.errors.isEmpty());
    }

    void failuresAreReported() {
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        host.openError = QStringLiteral("Permission denied");
        run.makeList();
        QCOMPARE(host.errors.size(), 1);
        QVERIFY(host.errors.at(0).contains("/data/Dirtallied.txt"));
        QVERIFY(host.errors.at(0).contains("Permission denied"));
        QCOMPARE(run.state(), RunState::Idle);

        // A folder that has gone since is named, and no report is opened for it.
        host.openError.clear();
        FakeRunHost gone("/gone");
        ReportRun again(gone, dirs, sizes);
        again.makeList();
        QCOMPARE(gone.opens, 0);
        QCOMPARE(gone.errors,
                 QStringList("The folder /gone could not be listed:\nNo such file or directory"));
        QCOMPARE(gone.states.back(), RunState::Idle);

        // A folder that fails after its first entries were read: its sizing had started and the
        // report was opened, but nothing is written and the report is not whole.
        FakeRunHost broken("/data");
        dirs.failAfterBatch = EIO;
        ReportRun brokenRun(broken, dirs, sizes);
        brokenRun.makeList();
        QCOMPARE(broken.errors,
                 QStringList("The folder /data could not be listed:\nInput/output error"));
        QCOMPARE(broken.opens, 1);
        QVERIFY(broken.report.isEmpty());
        QCOMPARE(broken.finishes, 0);
        dirs.failAfterBatch = 0;

        // A size the system ran out of resources to find is never a blank one: the report stops
        // short of its closing block and the user is told, in both modes.
        for (const bool oneLevel : {true, false}) {
            FakeRunHost starved("/data");
            starved.setOneLevel(oneLevel);
            FakeFolderInfo shortOfFiles(
                {{".cache", FolderSize::of(0)}, {"MUSIC", FolderSize::outOfResources(EMFILE)}});
            ReportRun starvedRun(starved, dirs, shortOfFiles);
            starvedRun.makeList();
            QCOMPARE(starved.errors.size(), 1);
            QVERIFY(starved.errors.at(0).contains("ran out of a resource while MUSIC was sized"));
            QVERIFY(starved.errors.at(0).endsWith("Too many open files"));
            QVERIFY(!starved.report.contains("MUSIC") && !starved.report.contains("Music"));
            QVERIFY(!starved.report.contains("---------------"));
            QCOMPARE(starved.finishes, 0);
        }
    }

    void aFullDiskIsReported() {
        auto full = std::make_unique<QFile>(QStringLiteral("/dev/full"));
        if (!full->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            QSKIP("no /dev/full here");
        }
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        host.device = std::move(full);
        int awaited = 0;
        sizes.onWait = [&](std::size_t) { ++awaited; };
        run.makeList();
        QCOMPARE(host.errors.size(), 1);
        QVERIFY(host.errors.at(0).contains("could not be written"));
        QCOMPARE(run.state(), RunState::Idle);
        // The header could not be written: the run stopped there, and the report is not whole.
        QCOMPARE(awaited, 0);
        QCOMPARE(host.finishes, 0);
    }

    // Memory that runs out ends the run with an error that names the folder, never the
    // program.
    void outOfMemory() {
        if (testtree::kAddressSanitizer) {
            QSKIP("AddressSanitizer reserves more address space than any limit leaves");
        }
        WorkedExample x;
        auto& [host, dirs, sizes, run] = x;
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit{rlim_t(1) << 36, RLIM_INFINITY};  // far beyond what the run needs
            setrlimit(RLIMIT_AS, &limit);
            sizes.onWait = [](std::size_t root) {
                if (root == 1) {
                    std::vector<char> beyond(std::size_t(1) << 37, 'x');
                }
            };
            run.makeList();
            const QString told = host.errors.value(0) + QString::number(host.finishes);
            _exit(told.endsWith("while MUSIC was sized:\nCannot allocate memory0") ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        QCOMPARE(status, 0);
    }
};

QTEST_GUILESS_MAIN(TestReportRun)
#include "tst_reportrun.moc"
