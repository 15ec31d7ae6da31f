#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "platform/desktop/linux/DesktopTextEditor.h"
#include "platform/system/linux/LinuxProcessInfo.h"

using dirtally::DesktopTextEditor;
using dirtally::EditorCommand;
using dirtally::LinuxProcessInfo;
using dirtally::Path;

namespace {

// One started program as its recorder saw it.
struct Launch {
    QString program;
    QList<QByteArray> arguments;
    qint64 pid = 0;
};

// Each run of the recorder leaves a folder named after its process id holding its own name and
// one file per argument, byte for byte; the folder appears complete in one rename.
const char* const kRecorder = R"(#!/bin/sh
run="$RECORDS/$$"
mkdir "$run.part"
printf '%s' "${0##*/}" > "$run.part/program"
n=0
for a in "$@"; do printf '%s' "$a" > "$run.part/arg$n"; n=$((n+1)); done
mv "$run.part" "$run"
)";

}  // namespace

class DesktopServicesTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void editorGetsThePathAsOneArgument_data();
    void editorGetsThePathAsOneArgument();
    void everyOpenStartsAnotherEditorThatIsReaped();
    void editorFlagsComeBeforeThePath();
    void firstInstalledEditorIsUsed();
    void nothingStartedWhenNoEditorIsInstalled();
    void desktopOpenerUsedWhenTextHasADefaultApplication();
    void editorsUsedWhenTheDesktopHasNoTextApplication_data();
    void editorsUsedWhenTheDesktopHasNoTextApplication();
    void currentDirectoryIsReportedExactly_data();
    void currentDirectoryIsReportedExactly();
    void currentDirectoryDeeperThanTheKernelNames();
    void removedCurrentDirectoryHasNoName();
    void programFolderHoldsTheRunningProgram();
    void endProcessEndsAtOnceWithTheCode();

  private:
    QString binFolder(const QString& name);
    void install(const QString& folder, const QString& name, const QByteArray& script);
    QList<Launch> launches() const;

    QTemporaryDir temp_;
    QString records_;
    QString work_;
    const std::vector<EditorCommand> editors_{{"fake-editor", {}}};
};

void DesktopServicesTest::initTestCase() {
    QVERIFY(temp_.isValid());
    records_ = temp_.path() + "/records";
    work_ = temp_.path() + "/work";
    QVERIFY(QDir().mkpath(work_));
    qputenv("RECORDS", records_.toLocal8Bit());
}

void DesktopServicesTest::init() {
    QDir(records_).removeRecursively();
    QVERIFY(QDir().mkpath(records_));
}

QString DesktopServicesTest::binFolder(const QString& name) {
    const QString folder = temp_.path() + "/" + name;
    QDir().mkpath(folder);
    return folder;
}

void DesktopServicesTest::install(const QString& folder, const QString& name,
                                  const QByteArray& script) {
    QFile file(folder + "/" + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QList<Launch> DesktopServicesTest::launches() const {
    QList<Launch> result;
    for (const QString& run : QDir(records_).entryList({"[0-9]*"}, QDir::Dirs)) {
        if (run.endsWith(".part")) {
            continue;
        }
        const QDir dir(records_ + "/" + run);
        Launch launch;
        launch.pid = run.toLongLong();
        QFile program(dir.filePath("program"));
        if (program.open(QIODevice::ReadOnly)) {
            launch.program = QString::fromUtf8(program.readAll());
        }
        for (int n = 0; QFile::exists(dir.filePath(QString("arg%1").arg(n))); ++n) {
            QFile argument(dir.filePath(QString("arg%1").arg(n)));
            if (argument.open(QIODevice::ReadOnly)) {
                launch.arguments << argument.readAll();
            }
        }
        result << launch;
    }
    return result;
}

void DesktopServicesTest::editorGetsThePathAsOneArgument_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("received");
    const QByteArray folder = work_.toUtf8();
    const auto row = [&folder](const char* name, const QByteArray& file) {
        QTest::newRow(name) << folder + "/" + file << folder + "/" + file;
    };
    row("plain", "Dirtallied.txt");
    row("spaces", "My Reports/Dirtallied list.txt");
    row("quotes", "it's \"quoted\".txt");
    row("semicolon", "a;touch pwned;b.txt");
    row("command substitution", "$(touch pwned).txt");
    row("backticks and pipe", "`touch pwned`|x&.txt");
    row("newline", "two\nlines.txt");
    row("not UTF-8", "caf\xe9\xff.txt");
    row("UTF-8",
        "Gr\xc3\xb6\xc3\x9f"
        "e.txt");
    QTest::newRow("relative name read as an option")
        << QByteArray("-n.txt") << QByteArray("./-n.txt");
}

void DesktopServicesTest::editorGetsThePathAsOneArgument() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, received);
    const QString bin = binFolder("editor-only");
    install(bin, "fake-editor", kRecorder);
    // A shell would run the injected commands here, in the program's current folder.
    const QString before = QDir::currentPath();
    auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    QVERIFY(QDir::setCurrent(work_));

    DesktopTextEditor editor(bin.toStdString(), editors_);
    QVERIFY(editor.open(path.toStdString()));
    QTRY_COMPARE(launches().size(), 1);
    QCOMPARE(launches()[0].program, "fake-editor");
    QCOMPARE(launches()[0].arguments, QList<QByteArray>{received});
    QVERIFY(!QFile::exists(work_ + "/pwned"));
}

void DesktopServicesTest::everyOpenStartsAnotherEditorThatIsReaped() {
    const QString bin = binFolder("editor-only");
    install(bin, "fake-editor", kRecorder);
    DesktopTextEditor editor(bin.toStdString(), editors_);
    const Path report = work_.toStdString() + "/Dirtallied.txt";
    QVERIFY(editor.open(report));
    QVERIFY(editor.open(report));
    QTRY_COMPARE(launches().size(), 2);
    const QList<Launch> both = launches();
    QVERIFY(both[0].pid != both[1].pid);
    // An editor that has ended must not linger as a zombie of Dirtally.
    for (const Launch& launch : both) {
        QTRY_VERIFY(!QFileInfo::exists(QString("/proc/%1").arg(launch.pid)));
    }
}

void DesktopServicesTest::editorFlagsComeBeforeThePath() {
    const QString bin = binFolder("editor-only");
    install(bin, "fake-editor", kRecorder);
    DesktopTextEditor editor(bin.toStdString(), {{"fake-editor", {"--maximized", "-w"}}});
    QVERIFY(editor.open("/r/Dirtallied.txt"));
    QTRY_COMPARE(launches().size(), 1);
    QCOMPARE(launches()[0].arguments,
             (QList<QByteArray>{"--maximized", "-w", "/r/Dirtallied.txt"}));
}

void DesktopServicesTest::firstInstalledEditorIsUsed() {
    // Installed in the second folder of the search path only; the first holds a folder and a
    // file without execute permission under the names of editors earlier in the list.
    const QString first = binFolder("decoys");
    const QString second = binFolder("editors");
    QVERIFY(QDir().mkpath(first + "/folder-editor"));
    QFile plain(first + "/plain-editor");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    install(second, "second-editor", kRecorder);
    install(second, "third-editor", kRecorder);
    const std::string searchPath = ":" + first.toStdString() + "::" + second.toStdString();
    DesktopTextEditor editor(searchPath, {{"missing-editor", {}},
                                          {"folder-editor", {}},
                                          {"plain-editor", {}},
                                          {"second-editor", {}},
                                          {"third-editor", {}}});
    QVERIFY(editor.open("/r/Dirtallied.txt"));
    QTRY_COMPARE(launches().size(), 1);
    QCOMPARE(launches()[0].program, "second-editor");
}

void DesktopServicesTest::nothingStartedWhenNoEditorIsInstalled() {
    const QString empty = binFolder("empty");
    DesktopTextEditor editor(empty.toStdString(), editors_);
    QVERIFY(!editor.open("/r/Dirtallied.txt"));
    DesktopTextEditor noSearchPath("", editors_);
    QVERIFY(!noSearchPath.open("/r/Dirtallied.txt"));
}

void DesktopServicesTest::desktopOpenerUsedWhenTextHasADefaultApplication() {
    const QString bin = binFolder("desktop");
    install(bin, "xdg-open", kRecorder);
    install(bin, "xdg-mime",
            "#!/bin/sh\n[ \"$*\" = 'query default text/plain' ] && echo fake-editor.desktop\n");
    install(bin, "fake-editor", kRecorder);
    DesktopTextEditor editor(bin.toStdString(), editors_);
    QVERIFY(editor.open("/r/My Dirtallied.txt"));
    QTRY_COMPARE(launches().size(), 1);
    QCOMPARE(launches()[0].program, "xdg-open");
    QCOMPARE(launches()[0].arguments, QList<QByteArray>{"/r/My Dirtallied.txt"});
}

void DesktopServicesTest::editorsUsedWhenTheDesktopHasNoTextApplication_data() {
    QTest::addColumn<QByteArray>("xdgMime");
    QTest::newRow("no default application") << QByteArray("#!/bin/sh\necho\n");
    QTest::newRow("query fails") << QByteArray("#!/bin/sh\necho x.desktop\nexit 3\n");
    QTest::newRow("xdg-mime missing") << QByteArray();
}

void DesktopServicesTest::editorsUsedWhenTheDesktopHasNoTextApplication() {
    QFETCH(QByteArray, xdgMime);
    const QString bin = binFolder(QString("no-handler-%1").arg(QTest::currentDataTag()));
    install(bin, "xdg-open", kRecorder);
    if (!xdgMime.isEmpty()) {
        install(bin, "xdg-mime", xdgMime);
    }
    install(bin, "fake-editor", kRecorder);
    DesktopTextEditor editor(bin.toStdString(), editors_);
    QVERIFY(editor.open("/r/Dirtallied.txt"));
    QTRY_COMPARE(launches().size(), 1);
    QCOMPARE(launches()[0].program, "fake-editor");
}

namespace {

// Returns to the folder the test started in whatever happens inside it.
auto returnToStartFolder() {
    const int start = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return qScopeGuard([start] {
        QVERIFY(::fchdir(start) == 0);
        ::close(start);
    });
}

}  // namespace

void DesktopServicesTest::currentDirectoryIsReportedExactly_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("mixed case") << QByteArray("MiXeD CaSe");
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9\xff");
    QTest::newRow("trailing space") << QByteArray("ends with space ");
}

void DesktopServicesTest::currentDirectoryIsReportedExactly() {
    QFETCH(QByteArray, name);
    const QByteArray folder = temp_.path().toUtf8() + "/" + name;
    QVERIFY(::mkdir(folder.constData(), 0700) == 0);
    // Qt's own clean-up of the temporary folder skips names that are not UTF-8.
    auto remove = qScopeGuard([&folder] { ::rmdir(folder.constData()); });
    auto back = returnToStartFolder();
    QVERIFY(::chdir(folder.constData()) == 0);
    QCOMPARE(QByteArray::fromStdString(LinuxProcessInfo().currentDirectory()), folder);
}

void DesktopServicesTest::currentDirectoryDeeperThanTheKernelNames() {
    // 30 levels of 200 characters: past the 4096 bytes the kernel's getcwd can name.
    const std::string level(200, 'D');
    const std::string top = temp_.path().toStdString() + "/deep";
    QVERIFY(::mkdir(top.c_str(), 0700) == 0);
    auto back = returnToStartFolder();
    QVERIFY(::chdir(top.c_str()) == 0);
    std::string expected = top;
    int depth = 0;
    auto removeLevels = qScopeGuard([&depth, &level] {
        for (; depth > 0; --depth) {
            QVERIFY(::chdir("..") == 0 && ::rmdir(level.c_str()) == 0);
        }
    });
    for (; depth < 30; ++depth) {
        QVERIFY(::mkdir(level.c_str(), 0700) == 0 && ::chdir(level.c_str()) == 0);
        expected += "/" + level;
    }
    QCOMPARE(LinuxProcessInfo().currentDirectory(), expected);
}

void DesktopServicesTest::removedCurrentDirectoryHasNoName() {
    const QByteArray folder = temp_.path().toUtf8() + "/removed";
    QVERIFY(::mkdir(folder.constData(), 0700) == 0);
    auto back = returnToStartFolder();
    QVERIFY(::chdir(folder.constData()) == 0);
    QVERIFY(::rmdir(folder.constData()) == 0);
    QCOMPARE(LinuxProcessInfo().currentDirectory(), Path());
}

void DesktopServicesTest::programFolderHoldsTheRunningProgram() {
    const Path folder = LinuxProcessInfo().programFolder();
    QCOMPARE(QByteArray::fromStdString(folder),
             QFile::encodeName(QCoreApplication::applicationDirPath()));
    QVERIFY(QFileInfo::exists(QString::fromStdString(folder) + "/tst_desktopservices"));
}

void DesktopServicesTest::endProcessEndsAtOnceWithTheCode() {
    const QByteArray after = temp_.path().toUtf8() + "/ran after the end";
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        LinuxProcessInfo().endProcess(7);
        ::close(::open(after.constData(), O_CREAT | O_WRONLY, 0600));
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 7);
    QVERIFY(!QFile::exists(QString::fromUtf8(after)));
}

QTEST_MAIN(DesktopServicesTest)
#include "tst_desktopservices.moc"
