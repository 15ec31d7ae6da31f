// Dirtally: creates the real platform services and hands them to the main window.
#include <QApplication>

#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/CriticalMessageBox.h"
#include "platform/linux/DesktopServices.h"
#include "platform/linux/FolderPickerDialog.h"
#include "platform/linux/LinuxDirectoryReader.h"
#include "platform/linux/LinuxFileProbe.h"
#include "platform/linux/LinuxProcessInfo.h"
#include "platform/linux/LocalSocketInstanceGuard.h"
#include "platform/linux/SaveFileDialog.h"
#include "platform/linux/SizeEngine.h"
#include "ui/Application.h"
#include "ui/Form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    dirtally::applyVersionRecord();

    dirtally::LinuxDirectoryReader directories;
    dirtally::LinuxFolderInfo folders;
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

    dirtally::ReportFile::closeOnTerminationSignals();
    dirtally::Form1 form1(services);
    if (!form1.formLoad()) {
        return 1;
    }
    form1.show();
    return QApplication::exec();
}
