#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace dirtally {

struct FolderPickerRequest {
    QString prompt1;           // the picker's prompt
    bool showPrompt2 = false;  // show the second prompt line
    QString initialFolder;     // where the tree opens; empty for the current directory
};

// A modal folder picker that reports the highlighted folder while it is open.
class FolderPicker {
  public:
    virtual ~FolderPicker() = default;
    // Shows the picker; onHighlighted runs for every newly highlighted folder. Returns the
    // confirmed folder as a full path ("/" for the root, no trailing separator otherwise), or
    // nullopt on Cancel.
    virtual std::optional<QString> browse(
        QWidget* parent, const FolderPickerRequest& request,
        const std::function<void(const QString&)>& onHighlighted) = 0;
    // The text of the second prompt line of the open picker.
    virtual void setPrompt2(const QString& text) = 0;
};

}  // namespace dirtally
