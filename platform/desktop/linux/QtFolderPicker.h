#pragma once

#include <QPointer>

#include "platform/desktop/FolderPicker.h"

class QLabel;

namespace dirtally {

// Dirtally's own modal folder picker, made of plain Qt widgets so that it looks and behaves the
// same on every desktop. Object names: the dialog "folderPicker", the labels "prompt1" and
// "prompt2", the tree "folderTree" and the QDialogButtonBox "buttons" (OK and Cancel).
class QtFolderPicker final : public FolderPicker {
  public:
    std::optional<QString> browse(
        QWidget* parent, const FolderPickerRequest& request,
        const std::function<void(const QString&)>& onHighlighted) override;
    void setPrompt2(const QString& text) override;

  private:
    QPointer<QLabel> prompt2_;
};

}  // namespace dirtally
