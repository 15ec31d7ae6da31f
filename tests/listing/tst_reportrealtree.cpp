// Whole reports on real trees built here, held against a reference that this test computes on
// its own with a plain recursive walk.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "FakeRunHost.h"
#include "listing/ReportRun.h"
#include "platform/linux/LinuxDirectoryReader.h"
#include "platform/linux/SizeEngine.h"

using namespace dirtally;
using namespace dirtally::test;

namespace {
struct Reference {
    bool readable = true;
    std::uint64_t bytes = 0;
};

// Entries of a folder in the order readdir gives them, without "." and "..".
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Reference sizeOf(const std::string& folder) {
    Reference total;
    for (const std::string& name : entries(folder)) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        lstat(path.c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            const Reference sub = sizeOf(path);
            total.readable = total.readable && sub.readable;
            total.bytes += sub.bytes;
        } else {
            total.bytes += st.st_size;
        }
    }
    return total;
}

std::string grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(std::size_t(i), ",");
    }
    return digits;
}

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string line(const QString& name, const Reference& size) {
    const std::string shown = name.toStdString();
    std::string out = shown;
    const qsizetype length = name.toUcs4().size();
    out +=
        length <= 82 ? std::string(std::size_t(82 - length), ' ') : "\r\n" + std::string(82, ' ');
    return out + "\t" + pad(" " + grouped(size.bytes), 14) + "\r\n";
}

QString shownName(const std::string& name, bool capitalised) {
    QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = u'?';
        }
    }
    return capitalised ? text.left(1).toUpper() + text.mid(1).toLower() : text;
}

std::string header(const std::string& folder, bool noSubdirs) {
    return "\r\nDirtally by http://dirtally.example.com\r\n\r\nSunday - Dec 6, 2026\r\n\r\nPath "
           "- " +
           folder + (noSubdirs ? "  " : "  (no subs)") + "\r\n\r\n";
}

void makeFile(const std::string& path, off_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(ftruncate(fd, size), 0);  // sparse: the size is what counts, not the blocks
    close(fd);
}

void makeFolder(const std::string& path) {
    QCOMPARE(mkdir(path.c_str(), 0755), 0);
}

QByteArray runReport(const std::string& folder, bool noSubdirs) {
    FakeRunHost host(folder);
    host.setNoSubdirs(noSubdirs);
    LinuxDirectoryReader directories;
    LinuxFolderInfo folders;
    ReportRun run(host, directories, folders);
    run.makeList();
    return host.report.data();
}
}  // namespace

class TestReportRealTree : public QObject {
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void oneLevel() {
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        const std::vector<std::string> names{std::string(82, 'a'),
                                             std::string(83, 'b'),
                                             std::string(120, 'c'),
                                             "Huge",
                                             "MiXeD",
                                             "\xc3\x9c"
                                             "berraschung",
                                             "bad\xff\xfe"
                                             "name",
                                             "tab\there",
                                             ".dotted",
                                             "empty"};
        for (const std::string& name : names) {
            makeFolder(root + "/" + name);
        }
        makeFile(root + "/Huge/one-terabyte", off_t(1) << 40);
        makeFile(root + "/MiXeD/ten-million", 10'000'000);
        makeFile(root + "/MiXeD/seven-million", 7'000'001);
        makeFolder(root + "/MiXeD/deeper");
        makeFile(root + "/MiXeD/deeper/x", 3);
        makeFile(root + "/" + names[0] + "/f", 12);
        makeFile(root +
                     "/bad\xff\xfe"
                     "name/f",
                 5);
        makeFile(root + "/.dotted/f", 7);
        makeFile(root + "/a-file", 1000);
        QCOMPARE(symlink("MiXeD", (root + "/link-to-folder").c_str()), 0);

        std::string expected = header(root, true);
        std::uint64_t total = 0;
        for (const std::string& name : entries(root)) {
            if (isFolder(root + "/" + name)) {
                const Reference size = sizeOf(root + "/" + name);
                expected += line(shownName(name, true), size);
                total += size.bytes;
            }
        }
        const std::string dashes = std::string(81, ' ') + "\t---------------\r\n";
        expected +=
            dashes + "\t" + std::string(76, ' ') + pad(grouped(total), 17) + "\r\n" + dashes;
        QVERIFY(total > (std::uint64_t(1) << 40) + 16'777'216);
        QCOMPARE(runReport(root, true), QByteArray::fromStdString(expected));
    }

    void allSubFolders() {
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        std::string deep = root + "/deep";
        makeFolder(deep);
        for (int level = 0; level < 40; ++level) {
            deep += "/level" + std::to_string(level);
            makeFolder(deep);
            makeFile(deep + "/f", level + 1);
        }
        makeFolder(root + "/wide");
        for (int i = 0; i < 30; ++i) {
            makeFolder(root + "/wide/w" + std::to_string(i));
            makeFile(root + "/wide/w" + std::to_string(i) + "/f", 100 * i);
        }
        makeFolder(root + "/wide/.git");
        makeFolder(root + "/wide/.git/objects");
        makeFile(root + "/wide/.git/objects/o", 4096);
        makeFolder(root + "/.cache");
        makeFile(root + "/.cache/c", 1);

        std::string expected = header(root, false);
        std::uint64_t total = 0;
        // Pre-order, readdir order, dot-folders neither entered nor listed.
        std::function<void(const std::string&, const QString&)> walk =
            [&](const std::string& path, const QString& relative) {
                expected += line(relative, sizeOf(path));
                for (const std::string& name : entries(path)) {
                    if (name[0] != '.' && isFolder(path + "/" + name)) {
                        walk(path + "/" + name, relative + "/" + shownName(name, false));
                    }
                }
            };
        for (const std::string& name : entries(root)) {
            if (name[0] != '.' && isFolder(root + "/" + name)) {
                walk(root + "/" + name, shownName(name, false));
                total += sizeOf(root + "/" + name).bytes;
            }
        }
        expected += std::string(81, ' ') + "\t---------------\r\n" + std::string(79, ' ') + "\t" +
                    pad(grouped(total), 17) + "\r\n";
        QCOMPARE(runReport(root, false), QByteArray::fromStdString(expected));
    }
};

QTEST_GUILESS_MAIN(TestReportRealTree)
#include "tst_reportrealtree.moc"
