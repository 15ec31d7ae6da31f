#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "ModalDriver.h"
#include "platform/desktop/linux/QtFolderPicker.h"

using dirtally::FolderPickerRequest;
using dirtally::QtFolderPicker;
using dirtally::test::driveNextModal;

namespace {

QTreeView* folderTree(QDialog* dialog) {
    return dialog->findChild<QTreeView*>("folderTree");
}

QFileSystemModel* folderModel(QDialog* dialog) {
    return qobject_cast<QFileSystemModel*>(folderTree(dialog)->model());
}

QString prompt2Text(QDialog* dialog) {
    return dialog->findChild<QLabel*>("prompt2")->text();
}

// The tree fills and sorts a folder's entries in the background.
bool childrenShown(QDialog* dialog, const QString& folder, const QStringList& names) {
    QFileSystemModel* model = folderModel(dialog);
    const QModelIndex parent = model->index(folder);
    if (model->rowCount(parent) != names.size()) {
        return false;
    }
    for (int row = 0; row < names.size(); ++row) {
        if (model->fileName(model->index(row, 0, parent)) != names[row]) {
            return false;
        }
    }
    return true;
}

}  // namespace

class FolderPickerTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void keyboardMovesEchoTheHighlightedFolder();
    void clickEchoesTheClickedFolder();
    void okReturnsThePathWithItsCase();
    void rootFolderIsASingleSeparator();
    void cancelAndEscapeReturnNothing();
    void missingInitialFolderOpensAtNearestFolderAbove();
    void emptyInitialFolderOpensAtCurrentDirectory();
    void secondPromptLineHiddenWhenNotAsked();
    void openingFolderIsScrolledIntoSight();

  private:
    // Opens the picker at `initialFolder`, records every highlighted folder and echoes it on
    // the second prompt line as a caller does.
    std::optional<QString> browse(const QString& initialFolder, bool showPrompt2 = true);

    QTemporaryDir tree_;
    QString root_;
    QtFolderPicker picker_;
    QStringList highlighted_;
};

void FolderPickerTest::initTestCase() {
    QVERIFY(tree_.isValid());
    root_ = tree_.path();
    QDir dir(root_);
    for (const char* folder : {"Alpha/Beta", "Alpha/Gamma", "MiXeD Case", ".hidden"}) {
        QVERIFY(dir.mkpath(folder));
    }
    QFile file(root_ + "/Alpha/notes.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
}

std::optional<QString> FolderPickerTest::browse(const QString& initialFolder, bool showPrompt2) {
    highlighted_.clear();
    FolderPickerRequest request{"Dirtally this folder", showPrompt2, initialFolder};
    return picker_.browse(nullptr, request, [this](const QString& folder) {
        highlighted_ << folder;
        picker_.setPrompt2("Folder: " + folder);
    });
}

void FolderPickerTest::keyboardMovesEchoTheHighlightedFolder() {
    const QString alpha = root_ + "/Alpha";
    driveNextModal<QDialog>([&](QDialog* dialog) {
        QCOMPARE(dialog->objectName(), "folderPicker");
        QCOMPARE(dialog->findChild<QLabel*>("prompt1")->text(), "Dirtally this folder");
        QVERIFY(dialog->findChild<QLabel*>("prompt2")->isVisible());
        QTreeView* tree = folderTree(dialog);
        QTRY_VERIFY(tree->hasFocus());
        QCOMPARE(highlighted_, QStringList{alpha});
        QCOMPARE(prompt2Text(dialog), "Folder: " + alpha);
        // Files are not shown, so the folder holds exactly its two sub-folders.
        QTRY_VERIFY(childrenShown(dialog, alpha, {"Beta", "Gamma"}));
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(highlighted_,
                 (QStringList{alpha, alpha + "/Beta", alpha + "/Gamma", alpha + "/Beta"}));
        QCOMPARE(prompt2Text(dialog), "Folder: " + alpha + "/Beta");
        QTest::keyClick(tree, Qt::Key_Return);
    });
    QCOMPARE(browse(alpha), std::optional<QString>(alpha + "/Beta"));
}

void FolderPickerTest::clickEchoesTheClickedFolder() {
    const QString alpha = root_ + "/Alpha";
    driveNextModal<QDialog>([&](QDialog* dialog) {
        QTreeView* tree = folderTree(dialog);
        QTRY_VERIFY(childrenShown(dialog, alpha, {"Beta", "Gamma"}));
        const QModelIndex gamma = folderModel(dialog)->index(alpha + "/Gamma");
        tree->scrollTo(gamma);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(gamma).center());
        QCOMPARE(highlighted_.last(), alpha + "/Gamma");
        QCOMPARE(prompt2Text(dialog), "Folder: " + alpha + "/Gamma");
        dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(browse(alpha), std::optional<QString>(alpha + "/Gamma"));
}

void FolderPickerTest::okReturnsThePathWithItsCase() {
    const QString mixed = root_ + "/MiXeD Case";
    driveNextModal<QDialog>(
        [](QDialog* dialog) { QTest::keyClick(folderTree(dialog), Qt::Key_Enter); });
    QCOMPARE(browse(mixed + "/"), std::optional<QString>(mixed));
    QCOMPARE(highlighted_.value(0), mixed);
}

void FolderPickerTest::rootFolderIsASingleSeparator() {
    driveNextModal<QDialog>([](QDialog* dialog) {
        QCOMPARE(prompt2Text(dialog), "Folder: /");
        QTest::keyClick(folderTree(dialog), Qt::Key_Return);
    });
    QCOMPARE(browse("/"), std::optional<QString>("/"));
}

void FolderPickerTest::cancelAndEscapeReturnNothing() {
    driveNextModal<QDialog>(
        [](QDialog* dialog) { QTest::keyClick(folderTree(dialog), Qt::Key_Escape); });
    QCOMPARE(browse(root_ + "/Alpha"), std::nullopt);

    driveNextModal<QDialog>([](QDialog* dialog) {
        dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Cancel)->click();
    });
    QCOMPARE(browse(root_ + "/Alpha"), std::nullopt);
    // The second prompt line belonged to the closed dialog.
    picker_.setPrompt2("after the dialog");
}

void FolderPickerTest::missingInitialFolderOpensAtNearestFolderAbove() {
    driveNextModal<QDialog>(
        [](QDialog* dialog) { QTest::keyClick(folderTree(dialog), Qt::Key_Return); });
    QCOMPARE(browse(root_ + "/Alpha/Gone/Deeper"), std::optional<QString>(root_ + "/Alpha"));
}

void FolderPickerTest::emptyInitialFolderOpensAtCurrentDirectory() {
    const QString before = QDir::currentPath();
    auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    QVERIFY(QDir::setCurrent(root_ + "/.hidden"));
    driveNextModal<QDialog>(
        [](QDialog* dialog) { QTest::keyClick(folderTree(dialog), Qt::Key_Return); });
    QCOMPARE(browse(QString()), std::optional<QString>(root_ + "/.hidden"));
}

void FolderPickerTest::secondPromptLineHiddenWhenNotAsked() {
    driveNextModal<QDialog>([](QDialog* dialog) {
        QVERIFY(!dialog->findChild<QLabel*>("prompt2")->isVisible());
        QVERIFY(dialog->findChild<QLabel*>("prompt1")->isVisible());
        dialog->reject();
    });
    QCOMPARE(browse(root_, false), std::nullopt);
}

void FolderPickerTest::openingFolderIsScrolledIntoSight() {
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

QTEST_MAIN(FolderPickerTest)
#include "tst_folderpicker.moc"
