// The menu bar: "&File", the unavailable "&Options" and "&Help".
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/Form1.h"

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

void Form1::buildMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("file"));
    item(fileMenu_, "exit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X));

    optionMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
    optionMenu_->setObjectName(QStringLiteral("option"));
    controls_.nosubdir =
        item(optionMenu_, "nosubdir", "No Sub-dirs", QKeySequence(Qt::CTRL | Qt::Key_N));
    controls_.nosubdir->setCheckable(true);
    controls_.nosubdir->setChecked(true);
    // The menu never opens, but Ctrl+N still reaches its item: Qt fires the shortcut of an item in
    // a disabled menu only when the window holds the item too.
    addAction(controls_.nosubdir);
    optionMenu_->menuAction()->setEnabled(false);
    optionMenu_->setEnabled(false);

    controls_.help = menuBar()->addMenu(QStringLiteral("&Help"));
    controls_.help->setObjectName(QStringLiteral("help"));
    item(controls_.help, "mnuwebpage", "Webpage");
    item(controls_.help, "mnuemail", "Email");
    item(controls_.help, "about", "&About", QKeySequence(Qt::CTRL | Qt::Key_A));
}

}  // namespace dirtally
