#include "platform/desktop/linux/QtFolderPicker.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace dirtally {

namespace {

// The folder the tree opens at: the requested one, or the nearest folder above it that exists.
QString openingFolder(const QString& requested) {
    QString folder = QDir::cleanPath(requested.isEmpty() ? QDir::currentPath() : requested);
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) {
        folder = QFileInfo(folder).path();
    }
    return folder;
}

QLabel* addLabel(QVBoxLayout* layout, const QString& objectName, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    // A long path must not stretch the dialog across the screen.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(label);
    return label;
}

QTreeView* addFolderTree(QVBoxLayout* layout, QFileSystemModel* model) {
    model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model->setRootPath(QDir::rootPath());
    auto* tree = new QTreeView;
    tree->setObjectName(QStringLiteral("folderTree"));
    tree->setModel(model);
    tree->setHeaderHidden(true);
    tree->setAnimated(false);
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int column = 1; column < model->columnCount(); ++column) {
        tree->hideColumn(column);
    }
    layout->addWidget(tree);
    return tree;
}

bool isSameOrAbove(const QString& folder, const QString& target) {
    return folder == target || folder == QDir::rootPath() || target.startsWith(folder + '/');
}

void openAt(QTreeView* tree, QFileSystemModel* model, const QString& path) {
    const QPersistentModelIndex folder = model->index(path);
    for (QModelIndex above = folder.parent(); above.isValid(); above = above.parent()) {
        tree->expand(above);
    }
    tree->expand(folder);
    tree->setCurrentIndex(folder);
    // The folders above fill and sort in the background and push the opening folder down as they
    // do; keep it in sight until the user moves the highlight.
    const auto keepInSight = [tree, folder] {
        if (tree->currentIndex() == folder) {
            tree->scrollTo(folder, QAbstractItemView::PositionAtCenter);
        }
    };
    QObject::connect(model, &QFileSystemModel::rowsInserted, tree,
                     [model, path, keepInSight](const QModelIndex& parent) {
                         if (isSameOrAbove(model->filePath(parent), path)) {
                             keepInSight();
                         }
                     });
    QObject::connect(model, &QFileSystemModel::layoutChanged, tree, keepInSight);
    // Scrolling needs the laid-out view, which exists only once the dialog is shown.
    QTimer::singleShot(0, tree, keepInSight);
}

}  // namespace

std::optional<QString> QtFolderPicker::browse(
    QWidget* parent, const FolderPickerRequest& request,
    const std::function<void(const QString&)>& onHighlighted) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("folderPicker"));
    dialog.setWindowTitle(QStringLiteral("Browse for Folder"));
    dialog.resize(380, 440);
    auto* layout = new QVBoxLayout(&dialog);
    addLabel(layout, QStringLiteral("prompt1"), request.prompt1);
    prompt2_ = addLabel(layout, QStringLiteral("prompt2"), QString());
    prompt2_->setVisible(request.showPrompt2);
    auto* model = new QFileSystemModel(&dialog);
    QTreeView* tree = addFolderTree(layout, model);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, &dialog,
                     [model, ok, &onHighlighted](const QModelIndex& current) {
                         ok->setEnabled(current.isValid());
                         if (current.isValid() && onHighlighted) {
                             onHighlighted(model->filePath(current));
                         }
                     });
    ok->setEnabled(false);
    openAt(tree, model, openingFolder(request.initialFolder));
    tree->setFocus();
    if (dialog.exec() != QDialog::Accepted || !tree->currentIndex().isValid()) {
        return std::nullopt;
    }
    return model->filePath(tree->currentIndex());
}

void QtFolderPicker::setPrompt2(const QString& text) {
    if (prompt2_) {
        prompt2_->setText(text);
    }
}

}  // namespace dirtally
