#pragma once

#include "platform/desktop/MessageBox.h"

namespace dirtally {

// A modal message box with the critical icon and one OK button; object name
// "criticalMessageBox".
class QtMessageBox final : public MessageBox {
  public:
    void critical(QWidget* parent, const QString& title, const QString& text) override;
};

}  // namespace dirtally
