#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "mainwindow/MainWindowControls.h"
#include "mainwindow/MainWindowOperations.h"
#include "mainwindow/Services.h"

class QGroupBox;

namespace dirtally {

// The main window: a small fixed window whose visible part is one frame with the status line,
// "&Make list", "&View list", the clock, a picture and the publisher's domain. A few controls
// that hold state lie outside the visible area but still take the keyboard focus. Its object
// name is "Form1"; every control's object name is the one it has always had ("Command4", ...).
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; false when the program must end without showing the window.
    bool load();
    MainWindowOperations& operations() { return *operations_; }
    QMenu* fileMenu() const { return fileMenu_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void wireEvents();
    void setFixedClientSize();

    // Event handlers, one per wired event.
    void keyPressed(QKeyEvent* event);
    bool mousePressed(QWidget* source, QMouseEvent* event);
    void folderClicked();
    void fileListClicked();
    void makeListClicked();
    void viewListClicked();
    void clockTicked();
    void exitTriggered();
    void webPageTriggered();
    void emailTriggered();
    void aboutTriggered();

    Services& services_;
    MainWindowControls controls_;
    QWidget* client_ = nullptr;
    QGroupBox* frame_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* optionsMenu_ = nullptr;
    QTimer clockTimer_;
    std::unique_ptr<MainWindowOperations> operations_;
};

}  // namespace dirtally
