#pragma once

#include "platform/desktop/SaveDialog.h"

namespace dirtally {

// Qt's own Save dialog (object name "saveDialog"), with the create question (a QMessageBox named
// "createPrompt") asked before the dialog closes on a file that does not exist yet; No keeps the
// dialog open. Qt's dialog has no read-only check box, so hideReadOnly needs nothing.
class QtSaveDialog final : public SaveDialog {
  public:
    std::optional<QString> showSave(QWidget* parent, const SaveDialogRequest& request) override;
};

}  // namespace dirtally
