// The menu bar: "&File", the unavailable "&Options" and "&Help".
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/MainWindow.h"

namespace dirtally {

namespace {
QAction* item(QMenu* menu, const char* name, const char* caption,
              const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}
}  // namespace

void MainWindow::buildMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("file"));
    item(fileMenu_, "exit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X));

    optionsMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu_->setObjectName(QStringLiteral("option"));
    controls_.noSubdirs =
        item(optionsMenu_, "nosubdir", "No Sub-dirs", QKeySequence(Qt::CTRL | Qt::Key_N));
    controls_.noSubdirs->setCheckable(true);
    controls_.noSubdirs->setChecked(true);
    // The menu never opens, but Ctrl+N still reaches its item: Qt fires the shortcut of an item in
    // a disabled menu only when the window holds the item too.
    addAction(controls_.noSubdirs);
    optionsMenu_->menuAction()->setEnabled(false);
    optionsMenu_->setEnabled(false);

    controls_.helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    controls_.helpMenu->setObjectName(QStringLiteral("help"));
    item(controls_.helpMenu, "mnuwebpage", "Webpage");
    item(controls_.helpMenu, "mnuemail", "Email");
    item(controls_.helpMenu, "about", "&About", QKeySequence(Qt::CTRL | Qt::Key_A));

    // A menu is a window of its own and takes the desktop's font, not the window's.
    for (QMenu* menu : {fileMenu_, optionsMenu_, controls_.helpMenu}) {
        menu->setFont(font());
    }
}

}  // namespace dirtally
