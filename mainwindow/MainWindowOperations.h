#pragma once

#include <QString>

#include "listing/ReportRun.h"
#include "listing/RunHost.h"
#include "mainwindow/MainWindowControls.h"
#include "mainwindow/Services.h"
#include "mainwindow/SharedState.h"

namespace dirtally {

inline const QString kErrorTitle = QStringLiteral("Dirtally error");

// What the main window does: start-up, the clock, shutdown, the folder and output choices,
// viewing the report, and hosting the report run, whose state it shows on the controls.
class MainWindowOperations final : public RunHost {
  public:
    MainWindowOperations(const MainWindowControls& controls, Services& services);
    MainWindowOperations(const MainWindowOperations&) = delete;
    MainWindowOperations& operator=(const MainWindowOperations&) = delete;

    // The start-up sequence; false when the program must not run (it lies in the root folder).
    bool startUp();
    void clockTick();
    // Ends the program at once, keeping what the report holds so far.
    void shutdown();

    void folderChoice();  // "&Folder"
    void outputChoice();  // "&File list", and before every run
    void viewList();      // "&View list"
    void makeList();      // "&Make list" / "&Abort", and Esc

    SharedState& state() { return state_; }
    RunState runState() const { return run_.state(); }

    // RunHost
    RunInputs prepareRun() override;
    bool oneLevel() const override;
    void setFolder(const Path& folder) override;
    void yield(const RunProgress& progress) override;
    std::unique_ptr<ReportOutput> openReport(const Path& file, QString* error) override;
    void showError(const QString& text) override;
    void stateChanged(RunState state) override;

  private:
    QString clockText() const;
    void focusFileList();
    void setFolderLine(const Path& folder);

    MainWindowControls controls_;
    Services& services_;
    SharedState state_;
    ReportRun run_;
    QChar timeSeparator_;  // the clock's, read from the locale once
};

}  // namespace dirtally
