#pragma once

#include <QDate>
#include <QString>

#include "platform/Path.h"

class QIODevice;

namespace dirtally {

// What the report run needs of the main window: its shared state, the output choice, the report
// file and the controls the run changes. The window implements it.
class RunHost {
  public:
    virtual ~RunHost() = default;

    // Shared state.
    virtual bool abortFlag() const = 0;
    virtual void setAbortFlag(bool on) = 0;
    virtual bool runActive() const = 0;
    virtual void setRunActive(bool on) = 0;
    virtual Path outputPath() const = 0;
    virtual void clearOutputPath() = 0;
    // The folder line: the folder the report is about.
    virtual Path folderLine() const = 0;
    virtual void setFolderLine(const Path& folder) = 0;
    // The "No Sub-dirs" check mark.
    virtual bool noSubdirs() const = 0;

    // Fixes outputPath (the output choice); may show dialogs.
    virtual void outputChoice() = 0;
    // Lets the window's pending events run.
    virtual void yield() = 0;
    // Opens the report file for output (created or emptied); nullptr with a reason on failure.
    virtual QIODevice* openReport(const Path& file, QString* error) = 0;
    virtual void closeReport() = 0;
    // Tells the user about a failure in a message box.
    virtual void showError(const QString& text) = 0;
    virtual QDate today() = 0;

    // Controls.
    virtual void focusFileList() = 0;
    virtual void setBusyPointer(bool busy) = 0;
    virtual QString makeListCaption() const = 0;
    virtual void setMakeListCaption(const QString& caption) = 0;
    virtual void setStatus(const QString& text) = 0;
    // "&Folder" and "&View list".
    virtual void setFolderAndViewEnabled(bool enabled) = 0;
    virtual void setHelpMenuEnabled(bool enabled) = 0;
    virtual void clearHeaderBox() = 0;
    virtual void setWindowCaption(const QString& caption) = 0;
    virtual QString applicationTitle() const = 0;
};

}  // namespace dirtally
