#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "mainwindow/Form1Controls.h"
#include "mainwindow/Form1Operations.h"
#include "platform/Services.h"

class QGroupBox;

namespace dirtally {

// The main window: a small fixed window whose visible part is one frame with the status line,
// "&Make list", "&View list", the clock, a picture and the publisher's domain. A few controls
// that hold state lie outside the visible area but still take the keyboard focus.
class Form1 : public QMainWindow {
    Q_OBJECT

  public:
    explicit Form1(Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; false when the program must end without showing the window.
    bool formLoad();
    Form1Operations& operations() { return *operations_; }
    QMenu* fileMenu() const { return fileMenu_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void wireEvents();
    void setFixedClientSize();

    // Event handlers, one per wired event.
    void formKeyPress(QKeyEvent* event);
    bool mouseDown(QWidget* source, QMouseEvent* event);
    void command1Click();
    void command2Click();
    void command4Click();
    void command6Click();
    void timer1Timer();
    void exitClick();
    void mnuwebpageClick();
    void mnuemailClick();
    void aboutClick();

    Services& services_;
    Form1Controls controls_;
    QWidget* client_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* optionMenu_ = nullptr;
    QTimer timer1_;
    std::unique_ptr<Form1Operations> operations_;
};

}  // namespace dirtally
