#include "platform/desktop/linux/QtSaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace dirtally {

namespace {

// QFileDialog only closes through done(Accepted) once its own checks (a folder typed as the name,
// the overwrite question) have passed, so that is where the create question belongs.
class CreatePromptingFileDialog final : public QFileDialog {
  public:
    CreatePromptingFileDialog(QWidget* parent, const QString& title, bool createPrompt)
        : QFileDialog(parent, title), createPrompt_(createPrompt) {}

    void done(int result) override {
        if (result == Accepted && createPrompt_ && !confirmCreate()) {
            return;
        }
        QFileDialog::done(result);
    }

  private:
    bool confirmCreate() {
        const QString path = selectedFiles().value(0);
        if (path.isEmpty() || QFileInfo::exists(path)) {
            return true;
        }
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        path + QStringLiteral("\nThis file does not exist.\nCreate the file?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("createPrompt"));
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }

    bool createPrompt_;
};

// Qt reads a filter's patterns from the parentheses at the end of the text the user sees.
QString nameFilter(const SaveDialogRequest& request) {
    const QString patterns = QLatin1Char('(') + request.filterPattern + QLatin1Char(')');
    if (request.filterPattern.isEmpty() || request.filterName.endsWith(patterns)) {
        return request.filterName;
    }
    return request.filterName + QLatin1Char(' ') + patterns;
}

}  // namespace

std::optional<QString> QtSaveDialog::showSave(QWidget* parent, const SaveDialogRequest& request) {
    CreatePromptingFileDialog dialog(parent, request.title, request.createPrompt);
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QString filter = nameFilter(request);
    if (!filter.isEmpty()) {
        dialog.setNameFilter(filter);
    }
    dialog.setDirectory(request.initialFolder.isEmpty() ? QDir::currentPath()
                                                        : request.initialFolder);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

}  // namespace dirtally
