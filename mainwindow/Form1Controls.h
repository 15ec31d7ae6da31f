#pragma once

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace dirtally {

// The main window's controls that its operations read and change. The window's layout creates
// them; the operations never own them.
struct Form1Controls {
    QWidget* form = nullptr;
    QLabel* label1 = nullptr;         // header prompt, never shown
    QLabel* label2 = nullptr;         // the folder line, outside the visible area
    QLabel* label4 = nullptr;         // the clock
    QLabel* label10 = nullptr;        // the status line
    QPushButton* command1 = nullptr;  // "&Folder"
    QPushButton* command2 = nullptr;  // "&File list"
    QPushButton* command4 = nullptr;  // "&Make list" / "&Abort"
    QPushButton* command6 = nullptr;  // "&View list"
    QLineEdit* text2 = nullptr;       // header box, outside the visible area
    QAction* nosubdir = nullptr;      // "No Sub-dirs"
    QMenu* help = nullptr;            // "&Help"
};

}  // namespace dirtally
