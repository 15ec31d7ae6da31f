#include <malloc.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

#include "TestTrees.h"
#include "platform/system/linux/SizeEngine.h"

using namespace dirtally;
using namespace dirtally::testtree;

namespace dirtally {
QByteArray sizeText(const FolderSize& size) {
    if (size.resourceError != 0) {
        return "out of resources: " + QByteArray(std::strerror(size.resourceError));
    }
    return size.readable ? QByteArray::number(size.bytes) : QByteArray("unreadable");
}
char* toString(const FolderSize& size) {
    return qstrdup(sizeText(size).constData());
}
}  // namespace dirtally

Q_DECLARE_METATYPE(dirtally::Counting)

namespace {

constexpr auto kPatience = std::chrono::seconds(60);
constexpr std::uint64_t kTerabyte = 1000ULL * 1000 * 1000 * 1000;

QByteArray describe(const std::vector<FolderNode>& tree) {
    QByteArray text;
    for (const FolderNode& node : tree) {
        text += QByteArray::fromStdString(node.name).toPercentEncoding() + " under " +
                QByteArray::number(static_cast<qint64>(node.parent)) + ": " + sizeText(node.size) +
                "\n";
    }
    return text;
}

// Failures in one order, whatever order the workers met them in.
QByteArray describe(std::vector<ReadFailure> failures) {
    std::sort(failures.begin(), failures.end(),
              [](const ReadFailure& a, const ReadFailure& b) { return a.path < b.path; });
    QByteArray text;
    for (const ReadFailure& failure : failures) {
        text +=
            QByteArray::fromStdString(failure.path) + ": " + std::strerror(failure.error) + "\n";
    }
    return text;
}

FileIdentity identityOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return {info.st_dev, info.st_ino};
}

void makeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (!bound) {
        throw std::runtime_error("bind " + path);
    }
}

// The trees sized against the reference walk, each built beneath `root`.
const std::map<QString, void (*)(const std::string&)> kTrees = {
    {"nested folders",
     [](const std::string& root) {
         makeFolder(root + "/a");
         makeFolder(root + "/a/b");
         makeFolder(root + "/a/b/c");
         makeFolder(root + "/a/empty");
         makeFolder(root + "/.hidden");
         makeFolder(root + "/.hidden/inner");
         makeFile(root + "/top", 7);
         makeFile(root + "/a/b/c/deep", 4096);
         makeFile(root + "/.hidden/inner/secret", 300);
         // Long names, so that a/b is read in more than one batch.
         for (int i = 0; i < 500; ++i) {
             makeFile(root + "/a/b/" + std::string(200, 'f') + std::to_string(i),
                      static_cast<std::uint64_t>(i) * 31);
         }
     }},
    {"sparse files over 1 TB",
     [](const std::string& root) {
         makeFolder(root + "/big");
         makeFile(root + "/big/one", 3 * kTerabyte / 2);
         makeFile(root + "/big/two", 2 * kTerabyte + 1);
         makeFile(root + "/small", 1);
     }},
    {"hard links count at every place",
     [](const std::string& root) {
         makeFolder(root + "/x");
         makeFolder(root + "/y");
         makeFile(root + "/x/file", 1000);
         link((root + "/x/file").c_str(), (root + "/y/again").c_str());
         link((root + "/x/file").c_str(), (root + "/x/twice").c_str());
     }},
    {"symbolic links are not followed",
     [](const std::string& root) {
         makeFolder(root + "/target");
         makeFile(root + "/target/heavy", 1000000);
         makeFolder(root + "/links");
         symlink("../target", (root + "/links/to-folder").c_str());
         symlink("../target/heavy", (root + "/links/to-file").c_str());
         symlink("nowhere/at/all", (root + "/links/broken").c_str());
         symlink("to-self", (root + "/links/to-self").c_str());
     }},
    {"fifos and sockets are never opened",
     [](const std::string& root) {
         makeFolder(root + "/special");
         mkfifo((root + "/special/fifo").c_str(), 0644);
         makeSocket(root + "/special/socket");
         makeFile(root + "/special/plain", 12);
     }},
    {"names are bytes",
     [](const std::string& root) {
         makeFolder(root + "/\xff\xfe folder");
         makeFile(root + "/\xff\xfe folder/\xc3\x28", 5);
         makeFolder(root + "/tab\there\nnewline\x01\x7f");
         makeFile(root + "/tab\there\nnewline\x01\x7f/\x80", 9);
         makeFile(root + "/\xe2\x82", 11);
     }},
    {"bushy tree",
     [](const std::string& root) {
         for (int i = 0; i < 6; ++i) {
             const std::string a = root + "/a" + std::to_string(i);
             makeFolder(a);
             for (int j = 0; j < 6; ++j) {
                 const std::string b = a + "/b" + std::to_string(j);
                 makeFolder(b);
                 makeFolder(b + "/c");
                 makeFile(b + "/c/f", static_cast<std::uint64_t>(i * 100 + j));
             }
         }
     }},
};

// Holds a mount made for one case and undoes it before the temporary folder goes.
struct Mount {
    std::string at;
    bool made = false;
    Mount(const std::string& source, const std::string& target, const char* type,
          unsigned long flags, const char* options = nullptr)
        : at(target), made(::mount(source.c_str(), target.c_str(), type, flags, options) == 0) {}
    ~Mount() {
        if (made) {
            umount2(at.c_str(), MNT_DETACH);
        }
    }
};

// A btrfs file system in an image file beneath `folder`, mounted on a loop device while it lives.
struct BtrfsImage {
    std::string at;
    bool made = false;
    explicit BtrfsImage(const std::string& folder) : at(folder + "/btrfs") {
        makeFolder(at);
        makeFile(folder + "/image", 256 << 20);
        const QString image = QString::fromStdString(folder + "/image");
        made = QProcess::execute("mkfs.btrfs", {"-q", image}) == 0 &&
               QProcess::execute("mount", {"-o", "loop", image, QString::fromStdString(at)}) == 0;
    }
    ~BtrfsImage() {
        if (made) {
            umount2(at.c_str(), MNT_DETACH);
        }
    }
};

}  // namespace

class SizeEngineTest : public QObject {
    Q_OBJECT

  private slots:
    // Every thread allocates from the one heap, so that a child forked to run out of memory has
    // no other arena, inherited from earlier cases, that its limit on address space cannot bind.
    void initTestCase() { mallopt(M_ARENA_MAX, 1); }
    void memoryRunningOut();  // first, while what is left in the heap is little and quickly taken
    void sizesMatchTheReferenceWalk_data();
    void sizesMatchTheReferenceWalk();
    void severalRootsInOnePass();
    void countingMatchesTheReference_data();
    void countingMatchesTheReference();
    void leftOutFilesAddNothing();
    void treeTenThousandLevelsDeep();
    void vanishingEntriesAreNotCounted();
    void unreadableFoldersHaveNoSize();
    void limitOfOpenFiles_data();
    void limitOfOpenFiles();
    void fewerThreadsThanWanted_data();
    void fewerThreadsThanWanted();
    void cancelLeavesNothingBehind();
    void pseudoFileSystemsAreNotEntered();
    void bindMountCycleIsCut();
    void btrfsSubvolumesAreRead();
    void driveSpaceMatchesStatvfs_data();
    void driveSpaceMatchesStatvfs();
    void driveSpaceOfNoFileSystem_data();
    void driveSpaceOfNoFileSystem();
    void readOnlyDriveHasNoFreeSpace();
};

void SizeEngineTest::sizesMatchTheReferenceWalk_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<unsigned>("workers");
    QTest::addColumn<int>("budget");
    for (const auto& [name, build] : kTrees) {
        QTest::addRow("%s", qPrintable(name)) << name << 16u << 0;
        // One worker holding one folder open at a time reopens every folder from the top.
        QTest::addRow("%s, reopening", qPrintable(name)) << name << 1u << 1;
    }
}

void SizeEngineTest::sizesMatchTheReferenceWalk() {
    QFETCH(QString, tree);
    QFETCH(unsigned, workers);
    QFETCH(int, budget);
    const Scratch scratch;
    const std::string& parent = scratch.path();
    makeFolder(parent + "/root");
    kTrees.at(tree)(parent + "/root");

    SizeEngine engine(workers, static_cast<std::size_t>(budget));
    const FolderSize expected = referenceSize(parent + "/root");
    QVERIFY(expected.readable);
    QCOMPARE(sizeOf(engine, parent, "root"), expected);

    auto job = engine.start({parent, {"root"}, true});
    QVERIFY(job->wait(0, kPatience));
    QCOMPARE(job->result(0), expected);
    QCOMPARE(describe(job->tree(0)), describe(referenceTree(parent + "/root")));
}

void SizeEngineTest::severalRootsInOnePass() {
    const Scratch scratch;
    const std::string& parent = scratch.path();
    kTrees.at("nested folders")(parent);
    kTrees.at("bushy tree")(parent);
    std::vector<std::string> roots = {"a", "missing", "a3", ".hidden", "", "top", "a0"};

    SizeEngine engine;
    auto job = engine.start({parent, roots, true});
    for (std::size_t i = 0; i < roots.size(); ++i) {
        QVERIFY(job->wait(i, kPatience));
        const bool sizable = roots[i] != "missing" && roots[i] != "top";
        const std::string path = roots[i].empty() ? parent : parent + "/" + roots[i];
        const FolderSize expected = sizable ? referenceSize(path) : FolderSize::unreadable();
        QCOMPARE(job->result(i), expected);
        if (sizable) {
            QCOMPARE(describe(job->tree(i)), describe(referenceTree(path)));
        }
    }

    // The same roots over and over, handed over in batches while the sizing runs: each keeps its
    // own result across the blocks the roots are kept in.
    auto fed = engine.start({.parent = parent, .children = {}, .moreRoots = true});
    std::vector<std::string> many;
    for (std::size_t i = 0; i < 1000; ++i) {
        many.push_back(roots[i % roots.size()]);
    }
    for (std::size_t from = 0; from < many.size(); from += 300) {
        const std::size_t to = std::min(from + 300, many.size());
        fed->add({many.begin() + std::ptrdiff_t(from), many.begin() + std::ptrdiff_t(to)},
                 to == many.size());
    }
    for (std::size_t i = 0; i < many.size(); ++i) {
        QVERIFY(fed->wait(i, kPatience));
        QCOMPARE(fed->result(i), job->result(i % roots.size()));
    }
}

void SizeEngineTest::countingMatchesTheReference_data() {
    QTest::addColumn<Counting>("counting");
    QTest::newRow("disk usage") << Counting{.diskUsage = true};
    QTest::newRow("one file system") << Counting{.oneFileSystem = true};
    QTest::newRow("links once") << Counting{.linksOnce = true};
    QTest::newRow("names excluded") << Counting{.exclude = {"*.tmp", "sub"}};
    QTest::newRow("paths excluded") << Counting{.exclude = {"/a/cache", "/*/f1*"}};
    QTest::newRow("all at once") << Counting{true, true, true, {"*.tmp", "/b/g"}};
}

// Sparse and written files, hard links within a root, across roots and in a dot-folder, a mount
// beneath a root and one as a root, against the reference walking the roots in their order.
void SizeEngineTest::countingMatchesTheReference() {
    QFETCH(Counting, counting);
    const Scratch scratch;
    const std::string& parent = scratch.path();
    const auto written = [](const std::string& path, int bytes) {
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'x')) == bytes);
    };
    for (const char* folder : {"/a", "/a/sub", "/a/cache", "/a/mnt", "/b", "/m", "/c", "/c/.hid"}) {
        makeFolder(parent + folder);
    }
    written(parent + "/a/f1", 10000);
    written(parent + "/a/x.tmp", 500);
    written(parent + "/a/cache/junk", 700);
    makeFile(parent + "/a/sparse", kTerabyte);
    written(parent + "/b/g", 3000);
    written(parent + "/c/h", 2000);
    for (const char* again : {"/a/sub/f1", "/b/f1b", "/b/f1c", "/c/.hid/f1"}) {
        QCOMPARE(link((parent + "/a/f1").c_str(), (parent + again).c_str()), 0);
    }
    QCOMPARE(link((parent + "/c/h").c_str(), (parent + "/c/.hid/h").c_str()), 0);
    const Mount beneath("tmpfs", parent + "/a/mnt", "tmpfs", 0);
    const Mount asRoot("tmpfs", parent + "/m", "tmpfs", 0);
    if (beneath.made && asRoot.made) {
        written(parent + "/a/mnt/x", 7000);
        written(parent + "/m/y", 5000);
    }

    const std::vector<std::string> roots = {"c", "b", "m", "a"};
    // All roots at once, and the same handed over one by one, each after the one before is done.
    for (const bool fed : {false, true}) {
        SizeEngine engine;
        auto job = engine.start({.parent = parent,
                                 .children = fed ? std::vector<std::string>{} : roots,
                                 .keepTree = true,
                                 .counting = counting,
                                 .moreRoots = fed});
        ReferenceCounting how{parent, counting};
        for (std::size_t i = 0; i < roots.size(); ++i) {
            if (fed) {
                job->add({roots[i]}, i + 1 == roots.size());
            }
            QVERIFY(job->wait(i, kPatience));
            const std::string path = parent + "/" + roots[i];
            const bool elsewhere =
                counting.oneFileSystem && identityOf(path).device != identityOf(parent).device;
            ReferenceCounting before = how;
            const FolderSize expected =
                elsewhere ? FolderSize{true, 0, 0, true} : referenceSize(path, &how);
            QCOMPARE(job->result(i), expected);
            QCOMPARE(describe(job->tree(i)), describe(elsewhere ? std::vector<FolderNode>{}
                                                                : referenceTree(path, &before)));
        }
    }
}

// The report grows inside the folders it sizes: every name of it adds nothing, other files count.
void SizeEngineTest::leftOutFilesAddNothing() {
    const Scratch scratch;
    const std::string& parent = scratch.path();
    makeFolder(parent + "/root");
    makeFolder(parent + "/root/other");
    makeFile(parent + "/root/report", 1000);
    makeFile(parent + "/root/kept", 5);
    link((parent + "/root/report").c_str(), (parent + "/root/other/again").c_str());
    makeFile(parent + "/temporary", 70);
    const FileIdentity kept = identityOf(parent + "/root/kept");
    const std::vector<FileIdentity> leftOut = {identityOf(parent + "/temporary"),
                                               identityOf(parent + "/root/report"),
                                               {kept.device + 1, kept.inode}};
    SizeEngine engine;
    auto job = engine.start({parent, {"root", ""}, false, leftOut});
    QVERIFY(job->wait(0, kPatience) && job->wait(1, kPatience));
    QCOMPARE(job->result(0), FolderSize::of(5));
    QCOMPARE(job->result(1), FolderSize::of(5));
}

void SizeEngineTest::treeTenThousandLevelsDeep() {
    constexpr int kDepth = 10000;
    const Scratch scratch(true);
    const std::string& parent = scratch.path();
    makeFolder(parent + "/deep");
    makeChain(parent + "/deep", "level", kDepth, 4321);
    makeFile(parent + "/deep/beside", 9);

    SizeEngine engine;
    auto job = engine.start({parent, {"deep"}, true});
    QVERIFY(job->wait(0, kPatience));
    QCOMPARE(job->result(0), FolderSize::of(4330));
    const std::vector<FolderNode>& tree = job->tree(0);
    QCOMPARE(tree.size(), std::size_t{kDepth});
    for (std::size_t i = 0; i < tree.size(); ++i) {
        QCOMPARE(tree[i].name, std::string("level"));
        QCOMPARE(tree[i].parent, i == 0 ? FolderNode::kNoParent : i - 1);
        QCOMPARE(tree[i].size, FolderSize::of(4321));
    }
    job.reset();
    removeChain(parent + "/deep", "level");
}

// A second thread deletes whole folders while they are sized: what vanishes is not counted and
// is no error; what stays is counted.
void SizeEngineTest::vanishingEntriesAreNotCounted() {
    const Scratch scratch(true);
    const std::string& parent = scratch.path();
    const std::string root = parent + "/root";
    makeFolder(root);
    makeFile(parent + "/byte", 1);
    constexpr int kFolders = 100;
    constexpr int kFiles = 200;
    for (int i = 0; i < kFolders; ++i) {
        makeFolder(root + "/" + std::to_string(i));
        makeLinks(root + "/" + std::to_string(i), kFiles, parent + "/byte");
    }
    // Odd folders stay; even ones go, files first, then the folder.
    auto remover = [&] {
        for (int i = 0; i < kFolders; i += 2) {
            const std::string folder = root + "/" + std::to_string(i);
            for (int f = 0; f < kFiles; ++f) {
                unlink((folder + "/" + std::to_string(f)).c_str());
            }
            rmdir(folder.c_str());
        }
    };
    SizeEngine engine;
    std::thread removing(remover);
    const FolderSize size = sizeOf(engine, parent, "root");
    removing.join();
    QVERIFY(size.readable);
    QVERIFY(size.bytes >= kFolders / 2 * kFiles);
    QVERIFY(size.bytes <= kFolders * kFiles);
    QCOMPARE(sizeOf(engine, parent, "root"), FolderSize::of(kFolders / 2 * kFiles));
}

// Root reads everything, so the case runs as an unprivileged user in a child process.
void SizeEngineTest::unreadableFoldersHaveNoSize() {
    if (kThreadSanitizer) {
        QSKIP("ThreadSanitizer cannot start threads in a child forked from threads");
    }
    const Scratch scratch;
    const std::string& parent = scratch.path();
    chmod(parent.c_str(), 0755);
    makeFolder(parent + "/open");
    makeFile(parent + "/open/file", 10);
    makeFolder(parent + "/locked");
    makeFolder(parent + "/locked/inside");
    makeFile(parent + "/locked/inside/file", 20);
    chmod((parent + "/locked/inside").c_str(), 0);
    // Listable but not searchable: names can be read, attributes cannot.
    makeFolder(parent + "/listable");
    makeFile(parent + "/listable/file", 30);
    makeFile(parent + "/listable/other", 31);
    chmod((parent + "/listable").c_str(), 0644);
    makeFolder(parent + "/tree");
    makeFolder(parent + "/tree/x");
    makeFolder(parent + "/tree/x/fine");
    makeFile(parent + "/tree/x/fine/file", 40);
    makeFolder(parent + "/tree/x/shut");
    makeFile(parent + "/tree/x/shut/file", 50);
    chmod((parent + "/tree/x/shut").c_str(), 0);
    makeFolder(parent + "/tree/y");
    makeFile(parent + "/tree/y/file", 60);
    const std::vector<std::string> roots = {"open", "locked", "listable", "tree"};

    // Each unreadable folder is named once, and the same ones whether or not the tree is kept.
    const std::vector<QByteArray> named = {"", "locked/inside: Permission denied\n",
                                           "listable: Permission denied\n",
                                           "tree/x/shut: Permission denied\n"};

    const int status = runUnprivileged([&] {
        SizeEngine engine;
        auto job = engine.start({parent, roots, true});
        auto flat = engine.start({parent, roots, false});
        int faults = 0;
        for (std::size_t i = 0; i < roots.size(); ++i) {
            const FolderSize expected = referenceSize(parent + "/" + roots[i]);
            if (!job->wait(i, kPatience) || job->result(i) != expected ||
                expected.readable != (roots[i] == "open")) {
                faults |= 1 << i;
            }
            if (!flat->wait(i, kPatience) || describe(job->failures(i)) != named[i] ||
                describe(flat->failures(i)) != named[i]) {
                faults |= 1 << 6;
            }
        }
        if (describe(job->tree(3)) != describe(referenceTree(parent + "/tree")) ||
            describe(job->tree(3)).count("unreadable") != 2) {
            faults |= 1 << 5;
        }
        return faults;
    });
    QCOMPARE(status, 0);
}

void SizeEngineTest::limitOfOpenFiles_data() {
    QTest::addColumn<int>("spare");
    QTest::addColumn<int>("budget");
    QTest::addColumn<int>("shortOf");
    QTest::newRow("budget fitted to the limit") << 3 << 0 << 0;
    QTest::newRow("budget far past the limit") << 3 << 1000 << 0;
    QTest::newRow("room for the parent only") << 1 << 0 << EMFILE;
}

// A child that may open only three more files sizes folders far wider than that: every size and
// tree is exact, with the budget fitted to the limit and with one far past it (the workers then
// run out, give back what they hold and try again). With room for the sizing's parent alone,
// every root says that it ran out of open files, never that it cannot be read.
void SizeEngineTest::limitOfOpenFiles() {
    if (kThreadSanitizer) {
        QSKIP("ThreadSanitizer cannot start threads in a child forked from threads");
    }
    QFETCH(int, spare);
    QFETCH(int, budget);
    QFETCH(int, shortOf);
    const Scratch scratch;
    const std::string& parent = scratch.path();
    chmod(parent.c_str(), 0755);
    kTrees.at("bushy tree")(parent);
    std::vector<std::string> roots;
    std::vector<QByteArray> expected;
    for (int i = 0; i < 6; ++i) {
        roots.push_back("a" + std::to_string(i));
        const std::string path = parent + "/" + roots.back();
        expected.push_back(shortOf != 0
                               ? sizeText(FolderSize::outOfResources(shortOf))
                               : sizeText(referenceSize(path)) + describe(referenceTree(path)));
    }
    const int wrong = runUnprivileged([&] {
        // The sanitizer build checks each class on first use through a pipe, which needs handles.
        SizeEngine().start({parent, roots, true})->wait(roots.size() - 1, kPatience);
        if (!leaveOpenFiles(static_cast<std::size_t>(spare))) {
            return 255;
        }
        SizeEngine engine(SizeEngine::kDefaultWorkers, static_cast<std::size_t>(budget));
        auto job = engine.start({parent, roots, true});
        int count = 0;
        for (std::size_t i = 0; i < roots.size(); ++i) {
            count += !job->wait(i, kPatience) ||
                     sizeText(job->result(i)) + describe(job->tree(i)) != expected[i];
        }
        return count;
    });
    QCOMPARE(wrong, 0);
}

// Memory that runs out while the workers size a tree ends no process and leaves no root
// unreadable: each is exact or out of memory. The child's one heap cannot grow past the lowered
// limit, and what is left in it is taken as the sizing starts.
void SizeEngineTest::memoryRunningOut() {
    if (kAddressSanitizer) {
        QSKIP("the address sanitizer ends the process where memory runs out");
    }
    if (kThreadSanitizer) {
        QSKIP("ThreadSanitizer cannot start threads in a child forked from threads");
    }
    const Scratch scratch;
    const std::string& parent = scratch.path();
    chmod(parent.c_str(), 0755);
    std::vector<std::string> roots;
    for (int i = 0; i < 20; ++i) {
        roots.push_back(std::to_string(i));
        makeFolder(parent + "/" + roots[i]);
        makeFile(parent + "/" + roots[i] + "/file", i + 1);
        for (int j = 0; j < 50; ++j) {
            makeFolder(parent + "/" + roots[i] + "/" + std::to_string(j));
        }
    }
    // A walk that ends before the heap is full meets no shortage and proves nothing: tried again.
    const auto sizeShortOfMemory = [&] {
        std::vector<void*> taken(1 << 20);
        struct rlimit unbound {};
        getrlimit(RLIMIT_AS, &unbound);
        struct rlimit low = unbound;
        std::ifstream("/proc/self/statm") >> low.rlim_cur;
        low.rlim_cur *= sysconf(_SC_PAGESIZE);
        auto job = SizeEngine(2, 0).start({parent, roots, true});
        setrlimit(RLIMIT_AS, &low);
        std::size_t count = 0;
        for (std::size_t size = 1 << 20; size >= 16; size /= 4) {
            while (count < taken.size() && (taken[count] = std::malloc(size)) != nullptr) {
                ++count;
            }
        }
        bool done = true;
        for (std::size_t i = 0; i < roots.size(); ++i) {
            done = job->wait(i, kPatience) && done;
        }
        std::for_each(taken.begin(), taken.begin() + count, std::free);
        setrlimit(RLIMIT_AS, &unbound);
        int exact = 0, shortOfMemory = 0;
        for (std::size_t i = 0; i < roots.size(); ++i) {
            exact += job->result(i) == FolderSize::of(i + 1) && job->tree(i).size() == 50;
            shortOfMemory += job->result(i) == FolderSize::outOfResources(ENOMEM);
        }
        if (!done || exact + shortOfMemory != int(roots.size())) {
            return 1;
        }
        return shortOfMemory > 0 ? 0 : 2;
    };
    int status = 2;
    for (int attempt = 0; attempt < 5 && status == 2; ++attempt) {
        status = runUnprivileged(sizeShortOfMemory);
    }
    QCOMPARE(status, 0);
}

void SizeEngineTest::fewerThreadsThanWanted_data() {
    QTest::addColumn<int>("threads");
    QTest::newRow("none") << 0;
    QTest::newRow("one of many") << 1;
    QTest::newRow("two of many") << 2;
}

// With fewer threads than wanted the job works with those it got. With none it neither works on
// the caller's thread nor waits: each root ends at once, out of resources. The limit of processes
// binds no root, so the child drops root.
void SizeEngineTest::fewerThreadsThanWanted() {
    if (kThreadSanitizer) {
        QSKIP("ThreadSanitizer cannot start threads in a child forked from threads");
    }
    QFETCH(int, threads);
    const Scratch scratch;
    const std::string& parent = scratch.path();
    chmod(parent.c_str(), 0755);
    kTrees.at("bushy tree")(parent);
    const std::vector<std::string> roots{"a0", "a1", "a2"};
    std::vector<QByteArray> expected;
    for (const std::string& root : roots) {
        expected.push_back(threads == 0 ? sizeText(FolderSize::outOfResources(EAGAIN))
                                        : sizeText(referenceSize(parent + "/" + root)));
    }
    const int wrong = runUnprivileged([&] {
        if (!leaveThreads(static_cast<std::size_t>(threads))) {
            return 98;
        }
        SizeEngine engine;
        auto job = engine.start({parent, roots, false});
        int count = 0;
        for (std::size_t i = 0; i < roots.size(); ++i) {
            count += !job->wait(i, kPatience) || sizeText(job->result(i)) != expected[i];
        }
        return count;
    });
    if (wrong == 98) {
        QSKIP("the limit of processes does not bind here");
    }
    QCOMPARE(wrong, 0);
}

void SizeEngineTest::cancelLeavesNothingBehind() {
    if (kThreadSanitizer) {
        QSKIP("under ThreadSanitizer the job ends before start() returns, ahead of any cancel");
    }
    const Scratch scratch(true);
    const std::string& parent = scratch.path();
    makeFolder(parent + "/big");
    makeFile(parent + "/three", 3);
    for (int i = 0; i < 40; ++i) {
        const std::string folder = parent + "/big/" + std::to_string(i);
        makeFolder(folder);
        makeLinks(folder, 1000, parent + "/three");
    }
    makeFolder(parent + "/small");
    makeFile(parent + "/small/file", 5);
    const std::size_t files = openFileCount();
    const std::size_t threads = threadCount();
    SizeEngine engine;

    // On a loaded machine a sizing may end before the cancel reaches it; one of a few tries
    // must be cut short.
    std::unique_ptr<SizingJob> job;
    bool cut = false;
    for (int attempt = 0; attempt < 5 && !cut; ++attempt) {
        job = engine.start({parent, {"big"}, true});
        job->cancel();
        QVERIFY(job->wait(0, kPatience));
        cut = job->result(0) == FolderSize::unreadable();
        QVERIFY(cut || job->result(0).readable);
        job.reset();
    }
    QVERIFY(cut);
    QCOMPARE(openFileCount(), files);
    QTRY_COMPARE(threadCount(), threads);

    // Dropped while running, without a cancel first, and while more roots may come.
    engine.start({parent, {"big", "small"}, false}).reset();
    engine.start({.parent = parent, .children = {"small"}, .moreRoots = true}).reset();
    QCOMPARE(openFileCount(), files);
    QTRY_COMPARE(threadCount(), threads);

    // A result already final stays as it is.
    job = engine.start({parent, {"small"}, false});
    QVERIFY(job->wait(0, kPatience));
    job->cancel();
    QCOMPARE(job->result(0), FolderSize::of(5));
}

void SizeEngineTest::pseudoFileSystemsAreNotEntered() {
    const Scratch scratch;
    const std::string& parent = scratch.path();
    makeFolder(parent + "/root");
    makeFile(parent + "/root/file", 100);
    makeFolder(parent + "/root/proc");
    makeFolder(parent + "/root/memory");
    const Mount proc("proc", parent + "/root/proc", "proc", 0);
    const Mount memory("tmpfs", parent + "/root/memory", "tmpfs", 0, "size=1m");
    if (!proc.made || !memory.made) {
        QSKIP("mounting needs CAP_SYS_ADMIN");
    }
    makeFile(parent + "/root/memory/stored", 1000);

    SizeEngine engine;
    QCOMPARE(sizeOf(engine, parent, "root"), FolderSize::of(1100));
    // Sizing the pseudo file system itself gives nothing either.
    QCOMPARE(sizeOf(engine, parent + "/root", "proc"), FolderSize::of(0));
}

void SizeEngineTest::bindMountCycleIsCut() {
    const Scratch scratch;
    const std::string& parent = scratch.path();
    makeFolder(parent + "/root");
    makeFile(parent + "/root/file", 10);
    makeFolder(parent + "/root/a");
    makeFile(parent + "/root/a/file", 20);
    makeFolder(parent + "/root/a/loop");
    const Mount loop(parent + "/root", parent + "/root/a/loop", nullptr, MS_BIND);
    if (!loop.made) {
        QSKIP("mounting needs CAP_SYS_ADMIN");
    }
    SizeEngine engine;
    auto job = engine.start({parent, {"root"}, true});
    QVERIFY(job->wait(0, kPatience));
    QCOMPARE(job->result(0), FolderSize::of(30));
    QCOMPARE(job->tree(0).size(), std::size_t{2});
    // The folder whose sub-folders are sized is on the path as well.
    QCOMPARE(sizeOf(engine, parent + "/root", "a"), FolderSize::of(20));
}

// Each btrfs subvolume has a device of its own, which its parent's listing does not show. Its
// folders reopened by name are still known as themselves: with one folder open at a time, and in
// a child that may open three more files.
void SizeEngineTest::btrfsSubvolumesAreRead() {
    const Scratch scratch;
    chmod(scratch.path().c_str(), 0755);
    const BtrfsImage btrfs(scratch.path());
    if (!btrfs.made) {
        QSKIP("needs root, mkfs.btrfs and a loop device");
    }
    const std::string& parent = btrfs.at;
    makeFolder(parent + "/top");
    const QString volume = QString::fromStdString(parent + "/top/vol2");
    QCOMPARE(QProcess::execute("btrfs", {"-q", "subvolume", "create", volume}), 0);
    kTrees.at("bushy tree")(parent + "/top/vol2");
    const QByteArray expected =
        sizeText(referenceSize(parent + "/top")) + describe(referenceTree(parent + "/top"));
    const auto sized = [&](unsigned workers, std::size_t budget) {
        auto job = SizeEngine(workers, budget).start({parent, {"top"}, true});
        return job->wait(0, kPatience) ? sizeText(job->result(0)) + describe(job->tree(0)) : "";
    };
    QCOMPARE(sized(1, 1), expected);
    // ThreadSanitizer cannot start threads in a child forked from threads.
    if (!kThreadSanitizer) {
        QCOMPARE(
            runUnprivileged([&] { return leaveOpenFiles(3) && sized(16, 0) == expected ? 0 : 1; }),
            0);
    }
}

void SizeEngineTest::driveSpaceMatchesStatvfs_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("root of the file system") << "/";
    QTest::newRow("temporary folder") << QDir::tempPath();
    QTest::newRow("doubled separators") << QDir::tempPath() + "//.";
    QTest::newRow("a file") << "/etc/hostname";
    QTest::newRow("pseudo file system") << "/proc";
}

// Free space moves while others write, so compare against two equal readings around ours.
void SizeEngineTest::driveSpaceMatchesStatvfs() {
    QFETCH(QString, path);
    const std::string bytes = path.toStdString();
    SizeEngine engine;
    for (int attempt = 0; attempt < 20; ++attempt) {
        struct statvfs before {
        }, after{};
        QCOMPARE(statvfs(bytes.c_str(), &before), 0);
        const std::optional<DriveSpace> space = engine.driveSpace(bytes);
        QCOMPARE(statvfs(bytes.c_str(), &after), 0);
        if (before.f_bavail != after.f_bavail) {
            continue;
        }
        QVERIFY(space.has_value());
        const std::uint64_t free = (after.f_flag & ST_RDONLY) ? 0 : after.f_bavail;
        QCOMPARE(space->freeBytes, free * after.f_frsize);
        QCOMPARE(space->totalBytes, std::uint64_t{after.f_blocks} * after.f_frsize);
        return;
    }
    QFAIL("free space never held still");
}

void SizeEngineTest::driveSpaceOfNoFileSystem_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("relative") << ".";
    QTest::newRow("relative name") << "tmp";
    QTest::newRow("missing") << "/no/such/folder/anywhere";
}

void SizeEngineTest::driveSpaceOfNoFileSystem() {
    QFETCH(QString, path);
    SizeEngine engine;
    QVERIFY(!engine.driveSpace(path.toStdString()).has_value());
}

void SizeEngineTest::readOnlyDriveHasNoFreeSpace() {
    const Scratch scratch;
    const std::string mountPoint = scratch.path() + "/ro";
    makeFolder(mountPoint);
    const Mount readOnly("tmpfs", mountPoint, "tmpfs", MS_RDONLY, "size=4m");
    if (!readOnly.made) {
        QSKIP("mounting needs CAP_SYS_ADMIN");
    }
    SizeEngine engine;
    const std::optional<DriveSpace> space = engine.driveSpace(mountPoint);
    QVERIFY(space.has_value());
    QCOMPARE(space->freeBytes, std::uint64_t{0});
    QCOMPARE(space->totalBytes, std::uint64_t{4} * 1024 * 1024);
}

QTEST_GUILESS_MAIN(SizeEngineTest)
#include "tst_sizeengine.moc"
