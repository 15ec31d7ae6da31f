// Dirtally: creates the real platform services and hands them to the main window.
#include <QApplication>

#include "platform/desktop/linux/CanberraSoundPlayer.h"
#include "platform/desktop/linux/DesktopTextEditor.h"
#include "platform/desktop/linux/DesktopUrlOpener.h"
#include "platform/desktop/linux/LocalSocketInstanceGuard.h"
#include "platform/desktop/linux/QtFolderPicker.h"
#include "platform/desktop/linux/QtMessageBox.h"
#include "platform/desktop/linux/QtSaveDialog.h"
#include "platform/system/TerminationSignals.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/LinuxFileProbe.h"
#include "platform/system/linux/LinuxProcessInfo.h"
#include "platform/system/linux/SizeEngine.h"
#include "platform/system/linux/SystemClock.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

int main(int argc, char* argv[]) {
    const auto application = dirtally::startApplication(argc, argv);
    dirtally::applyVersionRecord();

    dirtally::LinuxDirectoryReader directories;
    dirtally::SizeEngine folders;
    dirtally::LinuxFileProbe files;
    dirtally::QtFolderPicker folderPicker;
    dirtally::QtSaveDialog saveDialog;
    dirtally::QtMessageBox messageBox;
    dirtally::DesktopUrlOpener urlOpener;
    dirtally::DesktopTextEditor textEditor;
    dirtally::CanberraSoundPlayer soundPlayer;
    dirtally::LinuxProcessInfo process;
    dirtally::SystemClock clock;
    dirtally::LocalSocketInstanceGuard instance;
    dirtally::Services services{directories, folders,    files,     folderPicker,
                                saveDialog,  messageBox, urlOpener, textEditor,
                                soundPlayer, process,    clock,     instance};

    dirtally::TerminationSignals::endProgramOnThem();
    dirtally::MainWindow window(services);
    if (!window.load()) {
        return 1;
    }
    window.show();
    return QApplication::exec();
}
