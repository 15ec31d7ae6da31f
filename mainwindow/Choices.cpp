// The folder choice, the output choice and viewing the report.
#include <QAction>
#include <QPushButton>

#include "mainwindow/Form1Operations.h"

namespace dirtally {

namespace {
constexpr std::uint64_t kLeastFreeBytes = 1000;
const char* const kReportName = "/Dirtallied.txt";
}  // namespace

void Form1Operations::folderChoice() {
    focusFileList();
    FolderPickerRequest request{QStringLiteral("Dirtally this folder"), true,
                                pathToText(state_.folderPath)};
    const auto chosen = services_.folderPicker.browse(
        controls_.form, request,
        [this](const QString& highlighted) { services_.folderPicker.setPrompt2(highlighted); });
    if (!chosen) {
        return;
    }
    state_.folderPath = pathFromText(*chosen);
    setFolderLine(state_.folderPath);
    controls_.command4->setEnabled(true);
}

void Form1Operations::outputChoice() {
    SaveDialogRequest save;
    save.title = QStringLiteral("Dirtally save");
    save.filterName = QStringLiteral("*.txt (*.txt)");
    save.filterPattern = QStringLiteral("*.txt");
    save.initialFolder = state_.folderPath.empty()
                             ? pathToText(services_.process.currentDirectory())
                             : pathToText(state_.folderPath);
    save.fileName = QStringLiteral("Folder.txt");
    save.overwritePrompt = true;
    save.createPrompt = true;
    save.hideReadOnly = true;

    // The separator is not collapsed: after a one-level run the folder line ends in "/" and the
    // doubled separator names the same file.
    state_.outputPath = state_.folderLine + kReportName;
    state_.lastOutputPath = state_.outputPath;

    const auto space = services_.folders.driveSpace(state_.folderLine);
    if (space && space->freeBytes >= kLeastFreeBytes) {
        return;
    }
    state_.outputPath.clear();
    state_.lastOutputPath.clear();
    if (!space) {
        return;
    }
    services_.messageBox.critical(controls_.form, kErrorTitle,
                                  QStringLiteral("Read-only drive, pick another"));
    if (const auto chosen = services_.saveDialog.showSave(controls_.form, save);
        chosen && !chosen->isEmpty()) {
        state_.outputPath = pathFromText(*chosen);
        state_.lastOutputPath = state_.outputPath;
    }
}

void Form1Operations::viewList() {
    controls_.command4->setEnabled(true);
    focusFileList();
    const Path report = state_.lastOutputPath;
    if (report.empty() || !services_.files.isRegularFile(report)) {
        return;
    }
    if (!services_.textEditor.open(report)) {
        showError(
            QStringLiteral("No text editor could be started to show %1.").arg(pathToText(report)));
    }
}

}  // namespace dirtally
