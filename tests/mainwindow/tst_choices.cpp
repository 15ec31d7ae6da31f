// The folder choice, the output choice and viewing the report, through scripted dialogs.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "OperationsFixture.h"
#include "platform/system/ReportFile.h"

using namespace dirtally;
using namespace dirtally::test;

class TestChoices : public QObject {
    Q_OBJECT

  private slots:
    void pickedFolderKeepsItsCase() {
        FakeServices fakes;
        fakes.folderPicker =
            FakeFolderPicker({QStringLiteral("/Data/Reports")},
                             {QStringLiteral("/Data"), QStringLiteral("/Data/Reports")});
        OperationsFixture f(fakes);
        f.controls.makeListButton->setEnabled(false);
        f.operations->folderChoice();
        QCOMPARE(f.operations->state().folderPath, Path("/Data/Reports"));
        QCOMPARE(f.controls.folderLine->text(), QStringLiteral("/Data/Reports"));
        QVERIFY(f.controls.makeListButton->isEnabled());
        QCOMPARE(fakes.folderPicker.requests.at(0).prompt1, QStringLiteral("Dirtally this folder"));
        QVERIFY(fakes.folderPicker.requests.at(0).showPrompt2);
        // The second prompt line echoes each highlighted folder, case kept.
        QCOMPARE(fakes.folderPicker.prompt2Texts,
                 QStringList({QStringLiteral("/Data"), QStringLiteral("/Data/Reports")}));
        f.operations->outputChoice();
        QCOMPARE(f.operations->state().outputPath, Path("/Data/Reports/Dirtallied.txt"));
        QCOMPARE(f.operations->state().lastOutputPath, Path("/Data/Reports/Dirtallied.txt"));
        QVERIFY(fakes.messageBox.shown.empty());
        QVERIFY(fakes.saveDialog.requests.empty());
    }

    void cancelledPickerChangesNothing() {
        FakeServices fakes;
        fakes.folderPicker = FakeFolderPicker({QStringLiteral("/A"), std::nullopt});
        OperationsFixture f(fakes);
        f.operations->folderChoice();
        f.operations->folderChoice();
        QCOMPARE(f.operations->state().folderPath, Path("/A"));
        QCOMPARE(f.controls.folderLine->text(), QStringLiteral("/A"));
    }

    void rootFolder() {
        FakeServices fakes;
        fakes.folderPicker = FakeFolderPicker({QStringLiteral("/")});
        OperationsFixture f(fakes);
        f.operations->folderChoice();
        QCOMPARE(f.controls.folderLine->text(), QStringLiteral("/"));
        f.operations->outputChoice();
        QCOMPARE(f.operations->state().outputPath, Path("//Dirtallied.txt"));
    }

    void secondRunDoublesTheSeparator() {
        QTemporaryDir dir;
        const Path folder = pathFromText(dir.path());
        FakeServices fakes;
        fakes.directories = FakeDirectoryReader({{folder + "/", std::vector<DirEntry>{}}});
        fakes.folderPicker = FakeFolderPicker({dir.path()});
        OperationsFixture f(fakes);
        f.operations->folderChoice();
        f.operations->makeList();
        QCOMPARE(f.controls.folderLine->text(), dir.path() + "/");
        f.operations->outputChoice();
        QCOMPARE(f.operations->state().outputPath, folder + "//Dirtallied.txt");

        // While another run writes the report (the command's, here in this process, by another
        // path to it), the window's run is refused with the reason and writes nothing.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("Dirtallied.txt"))));
        QString error;
        auto other = ReportFile::openReplacing(folder + "/Dirtallied.txt",
                                               ReportFile::Place::InFolder, &error);
        QVERIFY(other);
        f.operations->makeList();
        QCOMPARE(fakes.messageBox.shown.size(), 1u);
        QCOMPARE(fakes.messageBox.shown.at(0).first, QStringLiteral("Dirtally error"));
        QVERIFY(fakes.messageBox.shown.at(0).second.endsWith(
            QStringLiteral("Another run of Dirtally is writing this report now.")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Dirtallied.txt"))));
    }

    void freeSpaceThreshold_data() {
        QTest::addColumn<qulonglong>("freeBytes");
        QTest::addColumn<bool>("asked");
        QTest::newRow("read-only") << 0ULL << true;
        QTest::newRow("999") << 999ULL << true;
        QTest::newRow("1000") << 1000ULL << false;
        QTest::newRow("beyond 32 bits") << (1ULL << 40) << false;
    }
    void freeSpaceThreshold() {
        QFETCH(qulonglong, freeBytes);
        QFETCH(bool, asked);
        FakeServices fakes;
        fakes.folders = FakeFolderInfo({}, DriveSpace{freeBytes, 1ULL << 41});
        fakes.saveDialog = FakeSaveDialog({QStringLiteral("/Other/My List.TXT")});
        OperationsFixture f(fakes);
        f.operations->startUp();
        f.operations->outputChoice();
        QCOMPARE(fakes.messageBox.shown.size(), asked ? 1u : 0u);
        QCOMPARE(fakes.saveDialog.requests.size(), asked ? 1u : 0u);
        const Path expected = asked ? "/Other/My List.TXT" : "/data/Dirtallied.txt";
        QCOMPARE(f.operations->state().outputPath, expected);
        QCOMPARE(f.operations->state().lastOutputPath, expected);
        if (asked) {
            QCOMPARE(fakes.messageBox.shown.at(0),
                     std::make_pair(QStringLiteral("Dirtally error"),
                                    QStringLiteral("Read-only drive, pick another")));
            // No folder picked yet: the dialog opens in the current directory.
            QCOMPARE(fakes.saveDialog.requests.at(0).initialFolder, QStringLiteral("/data"));
        }
    }

    void cancelEmptiesBothPaths() {
        FakeServices fakes;
        fakes.folders = FakeFolderInfo({}, DriveSpace{10'000, 20'000});
        OperationsFixture f(fakes);
        f.operations->startUp();
        f.operations->outputChoice();
        QCOMPARE(f.operations->state().outputPath, Path("/data/Dirtallied.txt"));
        fakes.folders = FakeFolderInfo({}, DriveSpace{0, 20'000});
        f.operations->outputChoice();  // the Save dialog is cancelled
        QVERIFY(f.operations->state().outputPath.empty());
        QVERIFY(f.operations->state().lastOutputPath.empty());
    }

    void folderOnNoFileSystem() {
        FakeServices fakes;
        fakes.folders = FakeFolderInfo({}, std::nullopt);
        OperationsFixture f(fakes);
        f.operations->startUp();
        f.operations->outputChoice();
        QVERIFY(f.operations->state().outputPath.empty());
        QVERIFY(f.operations->state().lastOutputPath.empty());
        QVERIFY(fakes.messageBox.shown.empty());
        QVERIFY(fakes.saveDialog.requests.empty());
    }

    void viewList() {
        const Path report = "/my reports/it's; $(touch x)/Dirtallied.txt";
        FakeServices fakes;
        fakes.files = FakeFileProbe({report});
        OperationsFixture f(fakes);
        f.controls.makeListButton->setEnabled(false);
        f.operations->viewList();  // nothing chosen yet
        QVERIFY(f.controls.makeListButton->isEnabled());
        QVERIFY(fakes.textEditor.opened.empty());

        f.operations->state().lastOutputPath = "/my reports";  // not an ordinary file
        f.operations->viewList();
        QVERIFY(fakes.textEditor.opened.empty());

        f.operations->state().lastOutputPath = report;
        f.operations->viewList();
        f.operations->viewList();
        QCOMPARE(fakes.textEditor.opened, (std::vector<Path>{report, report}));
        QVERIFY(fakes.messageBox.shown.empty());
    }

    void viewListWithoutAnEditor() {
        FakeServices fakes;
        fakes.files = FakeFileProbe({"/r.txt"});
        fakes.textEditor = FakeTextEditor(false);
        OperationsFixture f(fakes);
        f.operations->state().lastOutputPath = "/r.txt";
        f.operations->viewList();
        QCOMPARE(fakes.messageBox.shown.size(), 1u);
        QCOMPARE(fakes.messageBox.shown.at(0).first, QStringLiteral("Dirtally error"));
        QVERIFY(fakes.messageBox.shown.at(0).second.contains("/r.txt"));
    }
};

QTEST_MAIN(TestChoices)
#include "tst_choices.moc"
