#include "mainwindow/MainWindowOperations.h"

#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

#include "mainwindow/ApplicationTitle.h"
#include "platform/system/ReportFile.h"

namespace dirtally {

namespace {
constexpr std::uint64_t kLeastFreeBytes = 1000;

// Qt has no call for the locale's time separator: take the first one its time format uses.
QChar timeSeparator() {
    for (const QChar c : QLocale().timeFormat(QLocale::ShortFormat)) {
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'')) {
            return c;
        }
    }
    return QLatin1Char(':');
}

// Qt 6.4 tells assistive technologies nothing when a label's text changes; a screen reader
// announces the status line's new text only when told.
void showStatus(QLabel* line, const QString& text) {
    line->setText(text);
    QAccessibleEvent changed(line, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}
}  // namespace

MainWindowOperations::MainWindowOperations(const MainWindowControls& controls, Services& services)
    : controls_(controls),
      services_(services),
      run_(*this, services.directories, services.folders),
      timeSeparator_(timeSeparator()) {}

// --- start-up, clock, shutdown --------------------------------------------------------------

bool MainWindowOperations::startUp() {
    setFolderLine(services_.process.currentDirectory());
    controls_.window->setWindowTitle(controls_.folderLine->text());
    controls_.viewListButton->setEnabled(false);
    if (services_.process.programFolder() == "/") {
        // The window is never shown: the box stands alone, in the middle of the screen.
        services_.messageBox.critical(
            nullptr, kErrorTitle,
            QStringLiteral("Dirtally can not be run from\r\na root directory, please reinstall."));
        return false;
    }
    controls_.statusLabel->setEnabled(true);
    controls_.headerPrompt->setText(QStringLiteral("Enter Header For Output List"));
    return true;
}

QString MainWindowOperations::clockText() const {
    const QTime time = services_.clock.now().time();
    const auto two = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return two(time.hour()) + timeSeparator_ + two(time.minute()) + timeSeparator_ +
           two(time.second());
}

// Qt's event loop has handled the window's pending events before it delivers a tick, so the tick
// does not yield itself: a run started by an event handled inside a tick would run nested in the
// tick, and Qt delivers no further tick of a timer while one is still being handled.
void MainWindowOperations::clockTick() {
    const QString text = clockText();
    if (controls_.clockLabel->text() != text) {
        controls_.clockLabel->setText(text);
    }
}

void MainWindowOperations::shutdown() {
    // Every line of an open report is in the file already (the run writes its lines out before
    // it yields); ending the process closes it.
    services_.process.endProcess(0);
}

// --- the folder and output choices, viewing -------------------------------------------------

void MainWindowOperations::folderChoice() {
    focusFileList();
    FolderPickerRequest request{QStringLiteral("Dirtally this folder"), true,
                                pathToText(state_.folderPath)};
    const auto chosen = services_.folderPicker.browse(
        controls_.window, request,
        [this](const QString& highlighted) { services_.folderPicker.setPrompt2(highlighted); });
    if (!chosen) {
        return;
    }
    state_.folderPath = pathFromText(*chosen);
    setFolderLine(state_.folderPath);
    controls_.makeListButton->setEnabled(true);
}

void MainWindowOperations::outputChoice() {
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

    state_.outputPath = reportInFolder(state_.folderLine);
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
    services_.messageBox.critical(controls_.window, kErrorTitle,
                                  QStringLiteral("Read-only drive, pick another"));
    if (const auto chosen = services_.saveDialog.showSave(controls_.window, save);
        chosen && !chosen->isEmpty()) {
        state_.outputPath = pathFromText(*chosen);
        state_.lastOutputPath = state_.outputPath;
    }
}

void MainWindowOperations::viewList() {
    controls_.makeListButton->setEnabled(true);
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

void MainWindowOperations::makeList() {
    run_.makeList();
}

void MainWindowOperations::focusFileList() {
    controls_.fileListButton->setFocus(Qt::OtherFocusReason);
}

void MainWindowOperations::setFolderLine(const Path& folder) {
    state_.folderLine = folder;
    controls_.folderLine->setText(pathToText(folder));
}

// --- the report run's host ------------------------------------------------------------------

RunInputs MainWindowOperations::prepareRun() {
    outputChoice();
    return {state_.folderLine, oneLevel(), state_.outputPath, services_.clock.now().date()};
}

bool MainWindowOperations::oneLevel() const {
    return controls_.noSubdirs->isChecked();
}

void MainWindowOperations::setFolder(const Path& folder) {
    setFolderLine(folder);
}

void MainWindowOperations::yield(const RunProgress&) {
    QCoreApplication::processEvents();
}

// The window's report is written as the run goes: closed mid-run, it keeps its lines so far.
std::unique_ptr<ReportOutput> MainWindowOperations::openReport(const Path& file, QString* error) {
    return ReportFile::openInPlace(file, error);
}

void MainWindowOperations::showError(const QString& text) {
    services_.messageBox.critical(controls_.window, kErrorTitle, text);
}

void MainWindowOperations::stateChanged(RunState state) {
    switch (state) {
        case RunState::Preparing:
            focusFileList();
            controls_.window->setCursor(Qt::WaitCursor);
            break;
        case RunState::Running:
            focusFileList();
            showStatus(controls_.statusLabel, QStringLiteral("Please Wait ..."));
            controls_.folderButton->setEnabled(false);
            controls_.viewListButton->setEnabled(false);
            controls_.makeListButton->setText(QStringLiteral("&Abort"));
            break;
        case RunState::Stopping:
            // The hourglass stays until the run has written its closing block.
            focusFileList();
            controls_.makeListButton->setText(QStringLiteral("&Make list"));
            break;
        case RunState::Idle:
            state_.outputPath.clear();
            controls_.makeListButton->setText(QStringLiteral("&Make list"));
            controls_.helpMenu->menuAction()->setEnabled(true);
            controls_.folderButton->setEnabled(true);
            controls_.viewListButton->setEnabled(true);
            controls_.window->unsetCursor();
            controls_.headerBox->clear();
            showStatus(controls_.statusLabel, QStringLiteral("- Done -"));
            controls_.window->setWindowTitle(applicationTitle());
            break;
    }
}

}  // namespace dirtally
