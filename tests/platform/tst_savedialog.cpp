#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "ModalDriver.h"
#include "platform/desktop/linux/QtSaveDialog.h"

using dirtally::QtSaveDialog;
using dirtally::SaveDialogRequest;
using dirtally::test::driveNextModal;

namespace {

QLineEdit* fileNameEdit(QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>("fileNameEdit");
}

// Types a name and confirms it with Enter, as a user does.
void confirmName(QFileDialog* dialog, const QString& name) {
    fileNameEdit(dialog)->setText(name);
    QTest::keyClick(fileNameEdit(dialog), Qt::Key_Return);
}

void answer(QMessageBox::StandardButton button) {
    driveNextModal<QMessageBox>([button](QMessageBox* box) { box->button(button)->click(); });
}

}  // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void requestIsApplied();
    void filterShowsItsPatterns_data();
    void filterShowsItsPatterns();
    void newFileAsksBeforeCreating();
    void existingFileAsksBeforeReplacing();
    void withoutPromptsTheNameIsTakenAtOnce();
    void emptyInitialFolderOpensAtCurrentDirectory();

  private:
    SaveDialogRequest request(const QString& folder) const;

    QTemporaryDir temp_;
    QString folder_;
    QtSaveDialog saveDialog_;
};

void SaveDialogTest::initTestCase() {
    QVERIFY(temp_.isValid());
    folder_ = temp_.path() + "/Reports Here";
    QVERIFY(QDir().mkpath(folder_));
    QFile existing(folder_ + "/Existing.txt");
    QVERIFY(existing.open(QIODevice::WriteOnly));
}

SaveDialogRequest SaveDialogTest::request(const QString& folder) const {
    SaveDialogRequest request;
    // Values of the test's own: the dialog must show whatever it is asked to.
    request.title = "Where the test's report goes";
    request.filterName = "*.txt (*.txt)";
    request.filterPattern = "*.txt";
    request.initialFolder = folder;
    request.fileName = "Proposed Name.txt";
    request.overwritePrompt = true;
    request.createPrompt = true;
    request.hideReadOnly = true;
    return request;
}

void SaveDialogTest::requestIsApplied() {
    driveNextModal<QFileDialog>([this](QFileDialog* dialog) {
        QCOMPARE(dialog->objectName(), "saveDialog");
        QCOMPARE(dialog->windowTitle(), "Where the test's report goes");
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(dialog->nameFilters(), QStringList{"*.txt (*.txt)"});
        QCOMPARE(dialog->directory().absolutePath(), folder_);
        QCOMPARE(fileNameEdit(dialog)->text(), "Proposed Name.txt");
        dialog->reject();
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request(folder_)), std::nullopt);
}

void SaveDialogTest::filterShowsItsPatterns_data() {
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

void SaveDialogTest::filterShowsItsPatterns() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(QString, shown);
    SaveDialogRequest filtered = request(folder_);
    filtered.filterName = name;
    filtered.filterPattern = pattern;
    driveNextModal<QFileDialog>([&shown](QFileDialog* dialog) {
        QCOMPARE(dialog->nameFilters(), QStringList{shown});
        dialog->reject();
    });
    QCOMPARE(saveDialog_.showSave(nullptr, filtered), std::nullopt);
}

void SaveDialogTest::newFileAsksBeforeCreating() {
    const QString created = folder_ + "/New Report.txt";
    driveNextModal<QFileDialog>([&created](QFileDialog* dialog) {
        driveNextModal<QMessageBox>([&created](QMessageBox* box) {
            QCOMPARE(box->objectName(), "createPrompt");
            QCOMPARE(box->windowTitle(), "Where the test's report goes");
            QCOMPARE(box->text(), created + "\nThis file does not exist.\nCreate the file?");
            box->button(QMessageBox::No)->click();
        });
        confirmName(dialog, "New Report.txt");
        // No leaves the user in the dialog to pick another name.
        QVERIFY(dialog->isVisible());
        answer(QMessageBox::Yes);
        confirmName(dialog, "New Report.txt");
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request(folder_)), std::optional<QString>(created));
    // The dialog only asks; the report run creates the file.
    QVERIFY(!QFile::exists(created));
}

void SaveDialogTest::existingFileAsksBeforeReplacing() {
    driveNextModal<QFileDialog>([](QFileDialog* dialog) {
        answer(QMessageBox::No);
        confirmName(dialog, "Existing.txt");
        QVERIFY(dialog->isVisible());
        // An existing file gets only the replace question, never the create question.
        answer(QMessageBox::Yes);
        confirmName(dialog, "Existing.txt");
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request(folder_)),
             std::optional<QString>(folder_ + "/Existing.txt"));
}

void SaveDialogTest::withoutPromptsTheNameIsTakenAtOnce() {
    SaveDialogRequest quiet = request(folder_);
    quiet.createPrompt = false;
    quiet.overwritePrompt = false;
    driveNextModal<QFileDialog>([](QFileDialog* dialog) { confirmName(dialog, "MiXeD.txt"); });
    QCOMPARE(saveDialog_.showSave(nullptr, quiet), std::optional<QString>(folder_ + "/MiXeD.txt"));
    driveNextModal<QFileDialog>([](QFileDialog* dialog) { confirmName(dialog, "Existing.txt"); });
    QCOMPARE(saveDialog_.showSave(nullptr, quiet),
             std::optional<QString>(folder_ + "/Existing.txt"));
}

void SaveDialogTest::emptyInitialFolderOpensAtCurrentDirectory() {
    const QString before = QDir::currentPath();
    auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    QVERIFY(QDir::setCurrent(folder_));
    driveNextModal<QFileDialog>([this](QFileDialog* dialog) {
        QCOMPARE(dialog->directory().absolutePath(), folder_);
        dialog->reject();
    });
    QCOMPARE(saveDialog_.showSave(nullptr, request(QString())), std::nullopt);
}

QTEST_MAIN(SaveDialogTest)
#include "tst_savedialog.moc"
