#pragma once

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace dirtally {

// The main window's controls that its operations read and change, each with its object name.
// The window's layout creates them; the operations never own them.
struct MainWindowControls {
    QWidget* window = nullptr;
    QLabel* headerPrompt = nullptr;       // "Label1", never shown
    QLabel* folderLine = nullptr;         // "Label2": the folder to list, outside the visible area
    QLabel* clockLabel = nullptr;         // "Label4"
    QLabel* statusLabel = nullptr;        // "Label10"
    QPushButton* folderButton = nullptr;  // "Command1": "&Folder"
    QPushButton* fileListButton = nullptr;  // "Command2": "&File list"
    QPushButton* makeListButton = nullptr;  // "Command4": "&Make list" / "&Abort"
    QPushButton* viewListButton = nullptr;  // "Command6": "&View list"
    QLineEdit* headerBox = nullptr;         // "Text2", outside the visible area
    QAction* noSubdirs = nullptr;           // "nosubdir": "No Sub-dirs"
    QMenu* helpMenu = nullptr;              // "help": "&Help"
};

}  // namespace dirtally
