#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace dirtally {

struct SaveDialogRequest {
    QString title;
    QString filterName;     // e.g. "*.txt (*.txt)"
    QString filterPattern;  // e.g. "*.txt"
    QString initialFolder;
    QString fileName;
    bool overwritePrompt = false;  // ask before replacing an existing file
    bool createPrompt = false;     // ask before creating a file that does not exist
    bool hideReadOnly = false;     // no read-only check box
};

// A modal Save dialog.
class SaveDialog {
  public:
    virtual ~SaveDialog() = default;
    // The confirmed full path, or nullopt on Cancel.
    virtual std::optional<QString> showSave(QWidget* parent, const SaveDialogRequest& request) = 0;
};

}  // namespace dirtally
