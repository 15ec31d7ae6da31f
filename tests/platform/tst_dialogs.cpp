// What Dirtally adds to Qt's dialogs: the message box's plain text, the Save dialog's request
// (title, filter, starting folder, name) and its two questions, the folder picker's echo of the
// highlighted folder and where it opens. Qt's own behaviour inside the dialogs is not retested.
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "ModalDriver.h"
#include "platform/desktop/linux/QtFolderPicker.h"
#include "platform/desktop/linux/QtMessageBox.h"
#include "platform/desktop/linux/QtSaveDialog.h"

using namespace dirtally;
using dirtally::test::driveNextModal;

namespace {

// Types a name into the Save dialog and confirms it with Enter, as a user does.
void confirmName(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

QTreeView* folderTree(QDialog* dialog) {
    return dialog->findChild<QTreeView*>("folderTree");
}

QFileSystemModel* folderModel(QDialog* dialog) {
    return qobject_cast<QFileSystemModel*>(folderTree(dialog)->model());
}

// The tree fills and sorts a folder's entries in the background.
QStringList childrenShown(QDialog* dialog, const QString& folder) {
    QFileSystemModel* model = folderModel(dialog);
    const QModelIndex parent = model->index(folder);
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        names << model->fileName(model->index(row, 0, parent));
    }
    return names;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void messageBoxShowsTheTextAsTyped();
    void saveDialogOpensAsAsked_data();
    void saveDialogOpensAsAsked();
    void saveFilterShowsItsPatterns_data();
    void saveFilterShowsItsPatterns();
    void saveDialogAsksOnlyTheQuestionAsked_data();
    void saveDialogAsksOnlyTheQuestionAsked();
    void pickerEchoesTheHighlightedFolder();
    void pickerOpensAt_data();
    void pickerOpensAt();
    void pickerCancelReturnsNothing();
    void pickerKeepsTheOpeningFolderInSight();

  private:
    SaveDialogRequest saveRequest() const;
    // Opens the picker, records every highlighted folder and echoes it on the second prompt line
    // as a caller does.
    std::optional<QString> browse(const QString& initialFolder, bool showPrompt2 = true);

    QTemporaryDir temp_;
    QString root_;
    QString reports_;
    QtSaveDialog saveDialog_;
    QtFolderPicker picker_;
    QStringList highlighted_;
};

void DialogsTest::initTestCase() {
    QVERIFY(temp_.isValid());
    root_ = temp_.path();
    reports_ = root_ + "/Reports Here";
    for (const char* folder :
         {"Alpha/Beta", "Alpha/Gamma", "MiXeD Case", ".hidden", "Reports Here"}) {
        QVERIFY(QDir(root_).mkpath(folder));
    }
    for (const QString& file : {root_ + "/Alpha/notes.txt", reports_ + "/Existing.txt"}) {
        QFile made(file);
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
}

void DialogsTest::messageBoxShowsTheTextAsTyped() {
    bool shown = false;
    const QString text = "Read-only drive, pick another\n/media/<b>cd</b>";
    driveNextModal<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowTitle(), "The test's title");
        // Markup in a path must show as typed.
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        shown = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    QtMessageBox().critical(nullptr, "The test's title", text);
    QVERIFY(shown);
}

SaveDialogRequest DialogsTest::saveRequest() const {
    SaveDialogRequest request;
    // Values of the test's own: the dialog must show whatever it is asked to.
    request.title = "Where the test's report goes";
    request.filterName = "Reports";
    request.filterPattern = "*.txt";
    request.initialFolder = reports_;
    request.fileName = "Proposed Name.txt";
    request.overwritePrompt = true;
    request.createPrompt = true;
    return request;
}

void DialogsTest::saveDialogOpensAsAsked_data() {
    QTest::addColumn<bool>("inCurrentDirectory");
    QTest::newRow("the folder asked for") << false;
    QTest::newRow("none asked: the current directory") << true;
}

void DialogsTest::saveDialogOpensAsAsked() {
    QFETCH(bool, inCurrentDirectory);
    const QString before = QDir::currentPath();
    auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    SaveDialogRequest request = saveRequest();
    if (inCurrentDirectory) {
        QVERIFY(QDir::setCurrent(reports_));
        request.initialFolder.clear();
    }
    driveNextModal<QFileDialog>([this](QFileDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), "Where the test's report goes");
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->directory().absolutePath(), reports_);
        QCOMPARE(dialog->findChild<QLineEdit*>("fileNameEdit")->text(), "Proposed Name.txt");
        dialog->reject();
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request), std::nullopt);
}

void DialogsTest::saveFilterShowsItsPatterns_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("shown");
    QTest::newRow("patterns already named") << "*.txt (*.txt)"
                                            << "*.txt"
                                            << "*.txt (*.txt)";
    QTest::newRow("description only") << "Reports"
                                      << "*.txt"
                                      << "Reports (*.txt)";
    QTest::newRow("other patterns in the name") << "Text (*.log)"
                                                << "*.txt"
                                                << "Text (*.log) (*.txt)";
    QTest::newRow("no pattern") << "Anything"
                                << ""
                                << "Anything";
}

void DialogsTest::saveFilterShowsItsPatterns() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(QString, shown);
    SaveDialogRequest filtered = saveRequest();
    filtered.filterName = name;
    filtered.filterPattern = pattern;
    driveNextModal<QFileDialog>([&shown](QFileDialog* dialog) {
        QCOMPARE(dialog->nameFilters(), QStringList{shown});
        dialog->reject();
    });
    QCOMPARE(saveDialog_.showSave(nullptr, filtered), std::nullopt);
}

void DialogsTest::saveDialogAsksOnlyTheQuestionAsked_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("prompts");
    QTest::addColumn<QString>("question");  // the box's object name; empty: none is asked
    QTest::newRow("new file: create?") << "New Report.txt" << true << "createPrompt";
    // Qt asks whether to replace; only that question, never whether to create.
    QTest::newRow("existing file: replace?") << "Existing.txt" << true << "";
    QTest::newRow("new file, no prompts") << "MiXeD.txt" << false << "";
    QTest::newRow("existing file, no prompts") << "Existing.txt" << false << "";
}

void DialogsTest::saveDialogAsksOnlyTheQuestionAsked() {
    QFETCH(QString, name);
    QFETCH(bool, prompts);
    QFETCH(QString, question);
    const QString path = reports_ + "/" + name;
    const bool existed = QFile::exists(path);
    SaveDialogRequest request = saveRequest();
    request.createPrompt = request.overwritePrompt = prompts;
    QStringList asked;
    driveNextModal<QFileDialog>([&](QFileDialog* dialog) {
        if (!prompts) {
            confirmName(dialog, name);
            return;
        }
        const auto answer = [&](QMessageBox::StandardButton button) {
            driveNextModal<QMessageBox>([&, button](QMessageBox* box) {
                asked << box->objectName();
                QCOMPARE(box->windowTitle(), request.title);
                QVERIFY(box->text().contains(name));
                box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        confirmName(dialog, name);
        // No leaves the user in the dialog to pick another name.
        QVERIFY(dialog->isVisible());
        answer(QMessageBox::Yes);
        confirmName(dialog, name);
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request), std::optional<QString>(path));
    QCOMPARE(asked, (prompts ? QStringList{question, question} : QStringList{}));
    // The dialog only asks; the report run creates the file.
    QCOMPARE(QFile::exists(path), existed);
}

std::optional<QString> DialogsTest::browse(const QString& initialFolder, bool showPrompt2) {
    highlighted_.clear();
    FolderPickerRequest request{"The test's prompt", showPrompt2, initialFolder};
    return picker_.browse(nullptr, request, [this](const QString& folder) {
        highlighted_ << folder;
        picker_.setPrompt2("Folder: " + folder);
    });
}

void DialogsTest::pickerEchoesTheHighlightedFolder() {
    const QString alpha = root_ + "/Alpha";
    driveNextModal<QDialog>([&](QDialog* dialog) {
        QCOMPARE(dialog->findChild<QLabel*>("prompt1")->text(), "The test's prompt");
        QTreeView* tree = folderTree(dialog);
        QTRY_VERIFY(tree->hasFocus());
        // Files are not shown, so the folder holds exactly its two sub-folders.
        QTRY_COMPARE(childrenShown(dialog, alpha), (QStringList{"Beta", "Gamma"}));
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(highlighted_,
                 (QStringList{alpha, alpha + "/Beta", alpha + "/Gamma", alpha + "/Beta"}));
        QCOMPARE(dialog->findChild<QLabel*>("prompt2")->text(), "Folder: " + alpha + "/Beta");
        QTest::keyClick(tree, Qt::Key_Return);
    });
    QCOMPARE(browse(alpha), std::optional<QString>(alpha + "/Beta"));
}

void DialogsTest::pickerOpensAt_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("opened");
    const QString mixed = root_ + "/MiXeD Case";
    QTest::newRow("trailing separator, case kept") << mixed + "/" << mixed;
    QTest::newRow("root: a single separator") << "/"
                                              << "/";
    QTest::newRow("missing: the nearest folder above")
        << root_ + "/Alpha/Gone/Deeper" << root_ + "/Alpha";
    QTest::newRow("none: the current directory") << "" << root_ + "/.hidden";
}

void DialogsTest::pickerOpensAt() {
    QFETCH(QString, asked);
    QFETCH(QString, opened);
    const QString before = QDir::currentPath();
    auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    QVERIFY(QDir::setCurrent(root_ + "/.hidden"));
    driveNextModal<QDialog>(
        [](QDialog* dialog) { QTest::keyClick(folderTree(dialog), Qt::Key_Return); });
    QCOMPARE(browse(asked), std::optional<QString>(opened));
    QCOMPARE(highlighted_.value(0), opened);
}

void DialogsTest::pickerCancelReturnsNothing() {
    driveNextModal<QDialog>([](QDialog* dialog) {
        QVERIFY(!dialog->findChild<QLabel*>("prompt2")->isVisible());
        dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!dialog->isVisible());
    });
    QCOMPARE(browse(root_ + "/Alpha", false), std::nullopt);
    // The second prompt line belonged to the closed dialog.
    picker_.setPrompt2("after the dialog");
}

void DialogsTest::pickerKeepsTheOpeningFolderInSight() {
    QDir many(root_ + "/Many");
    for (int n = 0; n < 80; ++n) {
        QVERIFY(many.mkpath(QString("Row%1").arg(n, 2, 10, QChar('0'))));
    }
    const QString target = many.path() + "/Row77";
    driveNextModal<QDialog>([&target](QDialog* dialog) {
        QTreeView* tree = folderTree(dialog);
        const QPersistentModelIndex folder = folderModel(dialog)->index(target);
        // Its eighty siblings arrive after the dialog opens and push it down.
        QTRY_COMPARE(folder.row(), 77);
        QTRY_VERIFY(tree->viewport()->rect().contains(tree->visualRect(folder)));
        QCOMPARE(tree->currentIndex(), folder);
        dialog->reject();
    });
    QCOMPARE(browse(target), std::nullopt);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
