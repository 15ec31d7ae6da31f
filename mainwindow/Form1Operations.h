#pragma once

#include <QString>
#include <memory>

#include "listing/ReportRun.h"
#include "listing/RunHost.h"
#include "mainwindow/Form1Controls.h"
#include "mainwindow/ReportFile.h"
#include "mainwindow/SharedState.h"
#include "platform/Services.h"

namespace dirtally {

inline const QString kErrorTitle = QStringLiteral("Dirtally error");

// What the main window does: start-up, the clock, shutdown, the folder and output choices,
// viewing the report, and the report run it hosts.
class Form1Operations final : public RunHost {
  public:
    Form1Operations(const Form1Controls& controls, Services& services);
    ~Form1Operations() override;
    Form1Operations(const Form1Operations&) = delete;
    Form1Operations& operator=(const Form1Operations&) = delete;

    // The start-up sequence; false when the program must not run (it lies in the root folder).
    bool startUp();
    void clockTick();
    // Ends the program at once, keeping what the report holds so far.
    void shutdown();

    void folderChoice();           // "&Folder"
    void outputChoice() override;  // "&File list", and before every run
    void viewList();               // "&View list"
    void makeList();               // "&Make list" / "&Abort", and Esc

    SharedState& state() { return state_; }
    const ReportRun& reportRun() const { return run_; }
    void setFolderLine(const Path& folder) override;

    // RunHost
    bool abortFlag() const override { return state_.abortFlag; }
    void setAbortFlag(bool on) override { state_.abortFlag = on; }
    bool runActive() const override { return state_.runActive; }
    void setRunActive(bool on) override { state_.runActive = on; }
    Path outputPath() const override { return state_.outputPath; }
    void clearOutputPath() override { state_.outputPath.clear(); }
    Path folderLine() const override { return state_.folderLine; }
    bool noSubdirs() const override;
    void yield() override;
    QIODevice* openReport(const Path& file, QString* error) override;
    void closeReport() override;
    void showError(const QString& text) override;
    QDate today() override;
    void focusFileList() override;
    void setBusyPointer(bool busy) override;
    QString makeListCaption() const override;
    void setMakeListCaption(const QString& caption) override;
    void setStatus(const QString& text) override;
    void setFolderAndViewEnabled(bool enabled) override;
    void setHelpMenuEnabled(bool enabled) override;
    void clearHeaderBox() override;
    void setWindowCaption(const QString& caption) override;
    QString applicationTitle() const override;

  private:
    QString clockText() const;

    Form1Controls controls_;
    Services& services_;
    SharedState state_;
    ReportFile reportFile_;
    ReportRun run_;
    QChar timeSeparator_;  // the clock's, read from the locale once
};

}  // namespace dirtally
