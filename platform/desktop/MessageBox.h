#pragma once

#include <QString>

class QWidget;

namespace dirtally {

// Message boxes with the critical icon and one OK button.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // parent nullptr: a box of its own, in the middle of the screen.
    virtual void critical(QWidget* parent, const QString& title, const QString& text) = 0;
};

}  // namespace dirtally
